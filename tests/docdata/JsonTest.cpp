#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>

#include "docdata/Exception.h"
#include "docdata/FastJSON.h"
#include "docdata/JsonReader.h"
#include "docdata/MVJSON.h"
#include "platform/Platform.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

// Renders a parsed tree with the public accessors: strings quoted byte for byte, numbers
// as their number text, jvNone as "none".
std::string Render(const TJsonValue& v);
std::string RenderObject(const TJsonObject& o) {
  std::string s = "{";
  for (size_t i = 0; i < o.Count(); ++i)
    s += (i ? "," : "") + ("\"" + o.Pair(i).Name() + "\":") + Render(o.Pair(i).Value());
  return s + "}";
}
std::string RenderArray(const TJsonArray& a) {
  std::string s = "[";
  for (size_t i = 0; i < a.Count(); ++i) s += (i ? "," : "") + Render(a.Item(int64_t(i)));
  return s + "]";
}
std::string Render(const TJsonValue& v) {
  switch (v.Kind()) {
    case jvNone:
      return "none";
    case jvNull:
      return "null";
    case jvBoolean:
      return v.Boolean() ? "true" : "false";
    case jvNumber:
      return v.AsString();
    case jvString:
      return "\"" + v.Text() + "\"";
    case jvObject:
      return RenderObject(*v.ObjectValue());
    case jvArray:
      return RenderArray(*v.ArrayValue());
  }
  return "?";
}
std::string Render(const TFastJSON& j) {
  if (j.Object()) return RenderObject(*j.Object());
  if (j.Array()) return RenderArray(*j.Array());
  return "empty";
}

// Parses and returns the rendering, or "!" and the failure's message.
std::string ParseResult(std::string_view text) {
  TFastJSON j;
  try {
    j.Parse(text);
  } catch (const Exception& e) {
    return std::string("!") + e.what();
  }
  return Render(j);
}

struct ParseCase {
  std::string text;
  std::string expected;
};

const ParseCase kParseCases[] = {
    {"[1,2,]", "[1,2]"},
    {"[1,,2]", "!<TJsonArray>\"\" parse error: [1,,2] .."},
    {"[,]", "!<TJsonArray>\"\" parse error: [,] .."},
    {" { } ", "{}"},
    {"[ ]", "[]"},
    {"{\"x\":TRUE,\"y\":Null,\"z\":fAlse}", "{\"x\":true,\"y\":null,\"z\":false}"},
    {"[\"\\u20ac 5\",\"\\u00e4\",\"\\u0142\",\"\\u20AC\"]", "[\"\x80 5\",\"\xE4\",\"B\",\"\x80\"]"},
    {"[\"a\\qb\"]", "[\"aqb\"]"},
    {"[\"\\\"\\/\\\\\\b\\f\\n\\r\\t\"]", "[\"\"/\\\b\f\n\r\t\"]"},
    {"[\"x\\u12\"]", "[\"x12\"]"},  // too short for a code: plain text
    {"[\"a\\\"]", "[\"a\"]"},       // the escaped quote leaves the string open to the end
    {"[\"\\uZZ00\"]", "!InvalidHexNumber"},
    {"[\"a\"b\"]", "[\"a\"b\"]"},  // quotes inside a string piece
    {"{\"a\":\"x,y:z\",\"b\":[1,{\"c\":\"]}\"}]}", "{\"a\":\"x,y:z\",\"b\":[1,{\"c\":\"]}\"}]}"},
    {"{\"a\":1,\"A\":2}", "{\"a\":1,\"A\":2}"},
    {"\t\r\n{\x01\"k\"\x1f:\n[\"v\" ]\n}\n", "{\"k\":[\"v\"]}"},
    {"[1e3,-2.5E-1,+7,.5,5.,0.000001,1E15,123456789012345678]",
     "[1000,-0.25,7,0.5,5,1E-6,1E15,1.23456789012346E17]"},
    {"\"abc\"", "!<TFastJSON>\"\" parse error: \"abc\" .."},
    {"abc", "!<TFastJSON>\"\" parse error: abc .."},
    {"", "!<TFastJSON>\"\" parse error:  .."},
    {"{\"a\":1", "!<TJsonObject>\"\" parse error: {\"a\":1 .."},
    {"{\"a\":1,,\"b\":2}", "!<TJsonObject>\"\" parse error: {\"a\":1,,\"b\":2} .."},
    {"{\"a\" 1}", "!<TJsonPair>\"\" parse error: \"a\" 1 .."},
    {"{a:1}", "!<TJsonPair>\"\" parse error: a:1 .."},
    {"{\"a\":1:2}", "!<TJsonPair>\"\" parse error: \"a\":1:2 .."},
    {"{\"o\":{\"p\":[1,x]}}", "!<TJsonValue>\"p\" parse error: x .."},
    {"{\"o\":[{\"q\" 2}]}", "!<TJsonPair>\"o\" parse error: \"q\" 2 .."},
    {"[1.2.3]", "!<TJsonValue>\"\" parse error: 1.2.3 .."},
    {"[tru]", "!<TJsonValue>\"\" parse error: tru .."},
    {"[1e]", "!<TJsonValue>\"\" parse error: 1e .."},
    {"[\"a\" \"b\"]", "[\"a\" \"b\"]"},
    {"[1 2]", "!<TJsonValue>\"\" parse error: 1 2 .."},
    {"[{]", "!<TJsonValue>\"\" parse error: { .."},
    {"[[1]]]", "!<TJsonValue>\"\" parse error: 1] .."},
    {"[x" + std::string(150, 'y') + "]",
     "!<TJsonValue>\"\" parse error: x" + std::string(99, 'y') + " .."},
};

TEST(JsonParse, AcceptanceAndMessages) {
  for (const auto& c : kParseCases) EXPECT_EQ(ParseResult(c.text), c.expected) << c.text;
}

TEST(JsonParse, SinglePassAgreesWithSplittingReader) {
  for (const auto& c : kParseCases) {
    TFastJSON fast, split;
    bool fastOk = ParseSinglePass(c.text, fast);
    bool splitOk = true;
    try {
      ParseBySplitting(c.text, split);
    } catch (const Exception&) {
      splitOk = false;
    }
    if (fastOk) {
      EXPECT_TRUE(splitOk) << c.text;
      EXPECT_EQ(DescribeJsonTree(fast), DescribeJsonTree(split)) << c.text;
    }
  }
}

TEST(JsonParse, NestingDepthIsBounded) {
  const std::string deep = std::string(300, '[') + std::string(300, ']');
  std::string r = ParseResult(deep);
  EXPECT_EQ(r.rfind("!<TJsonValue>\"\" parse error: [[[", 0), 0u) << r.substr(0, 60);
  const std::string fine = std::string(150, '[') + std::string(150, ']');
  EXPECT_EQ(ParseResult(fine)[0], '[');
}

TEST(JsonParse, NumbersKeepExtendedPrecision) {
  TFastJSON j;
  j.Parse("[0.1,1.5E300,-0,123456789012345678901234567890,1E-5000]");
  EXPECT_EQ(j.Array()->Item(0).Number(), 0.1L);
  EXPECT_EQ(j.Array()->Item(1).Number(), 1.5E300L);
  EXPECT_TRUE(std::signbit(j.Array()->Item(2).Number()));
  EXPECT_EQ(j.Array()->Item(3).Number(), 123456789012345678901234567890.0L);
  EXPECT_EQ(j.Array()->Item(4).Number(), 0.0L);
}

TEST(JsonTree, MemberLookupCreatesMissingMembers) {
  TFastJSON j;
  j.Parse("{\"A\":1}");
  EXPECT_EQ(j.Member("a").AsString(), "1");
  TJsonValue& b = j.Member("b");
  EXPECT_EQ(b.Kind(), jvNone);
  EXPECT_EQ(j.Object()->Count(), 2u);
  EXPECT_EQ(j.Object()->Pair(1).Name(), "b");

  j.Object()->SetAutoCreate(false);
  EXPECT_THROW(
      {
        try {
          j.Member("c");
        } catch (const Exception& e) {
          EXPECT_STREQ(e.what(), "<TJsonObject>c not found");
          throw;
        }
      },
      Exception);

  TFastJSON empty;
  empty.Member("x");
  EXPECT_EQ(empty.StructType(), jsObject);

  TFastJSON arr;
  arr.Parse("[1]");
  try {
    arr.Member("x");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "<TFastJSON>json struct type is not jsObject");
  }
}

std::string Failure(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "no failure";
}

TEST(JsonTree, ConversionsAndTheirErrors) {
  TFastJSON j;
  j.Parse(
      "{\"s\":\"42\",\"bad\":\"4x\",\"n\":-3.9,\"big\":3E9,\"t\":true,\"z\":null,\"o\":{},"
      "\"a\":[7]}");
  EXPECT_EQ(j.Member("s").AsInteger(), 42);
  EXPECT_EQ(j.Member("n").AsInteger(), -3);
  EXPECT_EQ(j.Member("t").AsInteger(), 1);
  EXPECT_EQ(j.Member("z").AsInteger(), 0);
  EXPECT_EQ(j.Member("missing").AsInteger(), 0);
  EXPECT_EQ(j.Member("t").AsString(), "true");
  EXPECT_EQ(j.Member("z").AsString(), "");
  EXPECT_EQ(j.Member("n").AsString(), "-3.9");
  EXPECT_EQ(Failure([&] { j.Member("bad").AsInteger(); }), "'4x' ist kein g\xFCltiger Integerwert");
  EXPECT_EQ(Failure([&] { j.Member("big").AsInteger(); }),
            "'3000000000' ist kein g\xFCltiger Integerwert");
  EXPECT_EQ(Failure([&] { j.Member("o").AsInteger(); }),
            "<TJsonValue>\"o\" value type error: jvObject to jvNumber");
  EXPECT_EQ(Failure([&] { j.Member("a").AsString(); }),
            "<TJsonValue>\"a\" value type error: jvArray to jvString");
  EXPECT_EQ(Failure([&] { j.Member("s").AsArray(); }),
            "<TJsonValue>\"s\" value type error: jvString to jvArray");
  EXPECT_EQ(Failure([&] { j.Member("a").AsObject(); }),
            "<TJsonValue>\"a\" value type error: jvArray to jvObject");
  EXPECT_EQ(Failure([&] { j.Member("a").AsArray().Item(1); }),
            "Der Index der Liste \xFC"
            "berschreitet das Maximum (1)");
  EXPECT_EQ(Failure([&] { j.Member("a").AsArray().Item(-1); }),
            "Der Index der Liste \xFC"
            "berschreitet das Maximum (-1)");
  EXPECT_EQ(j.Member("fresh").AsArray().Count(), 0u);
  EXPECT_EQ(j.Member("fresh").Kind(), jvArray);
}

TEST(JsonText, NumberTextIgnoresTheDecimalSeparator) {
  const std::pair<long double, const char*> cases[] = {{12.5L, "12.5"},
                                                       {0.000001L, "1E-6"},
                                                       {0, "0"},
                                                       {-3, "-3"},
                                                       {0.0001L, "0.0001"},
                                                       {1E15L, "1E15"},
                                                       {1.5E20L, "1.5E20"},
                                                       {999999999999999.0L, "999999999999999"},
                                                       {1.0L / 3, "0.333333333333333"}};
  for (char sep : {',', '.'}) {
    test::ScopedNumberFormat fmt(sep, sep == ',' ? '.' : '\'');
    for (auto& [v, text] : cases) EXPECT_EQ(JsonNumberText(v), text) << sep;
  }
}

TEST(JsonWriter, StringEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"Preis: 5 \x80/Stk", "\"Preis: 5 \\u20ac\\/Stk\""},
      {"Gr\xF6\xDF"
       "e",
       "\"Gr\xF6\xDF"
       "e\""},
      {"a\tb", "\"a\\tb\""},
      {"\b\n\f\r", "\"\\b\\n\\f\\r\""},
      {"\x1F\x01", "\"\\u001F\\u0001\""},
      {"say \"hi\" \\", "\"say \\\"hi\\\" \\\\\""},
      {"\x81\x9F\xFF", "\"\x81\x9F\xFF\""},
      {std::string("\0", 1), "\"\\u0000\""},
  };
  for (auto& [text, json] : cases) {
    TMVSONList list;
    list.AddString(text);
    EXPECT_EQ(GenerateJsonText(list), "[" + json + "]");
  }
}

TEST(JsonWriter, EveryByteSurvivesWriterThenReader) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  all += '\0';
  TMVJSON root;
  root.PutString("t", all);
  TFastJSON j;
  j.Parse(GenerateJsonText(root));
  EXPECT_EQ(j.Member("t").AsString(), all);
}

TEST(JsonWriter, DocumentShape) {
  test::ScopedNumberFormat fmt(',', '.');
  TMVJSON root;
  TMVJSON& order = root.PutList("Order").AddObject();
  TMVJSON& part = order.PutList("Parts").AddObject();
  part.PutString("Quantity", "2,5");
  order.PutList("Adress").AddObject();
  order.PutBoolean("NettoPrices", false);
  order.PutNumber("N", 12.5L);
  order.PutNull("X");
  root.PutString("Description", "TCSVRequest");
  order.PutBoolean("NettoPrices", true);  // replaced in place
  EXPECT_EQ(GenerateJsonText(root),
            "{\"Order\":[{\"Parts\":[{\"Quantity\":\"2,5\"}],\"Adress\":[{}],\"NettoPrices\":true,"
            "\"N\":12.5,\"X\":null}],\"Description\":\"TCSVRequest\"}");
}

TEST(JsonFile, LoadingAndBackup) {
  test::TempDir dir;
  const std::optional<std::string> none, good = "{\"v\":\"good\"}", backup = "{\"v\":\"backup\"}",
                                         broken = "{\"v\":";
  struct Case {
    const char* name;
    std::optional<std::string> main, backup;  // no value: no file
    bool tryBackup;
    std::string expected;
  } cases[] = {
      {"missing", none, none, true, "empty"},
      {"good", good, backup, true, "{\"v\":\"good\"}"},
      {"broken with backup", broken, backup, true, "{\"v\":\"backup\"}"},
      {"broken, backup not tried", broken, backup, false, "empty"},
      {"broken without backup", broken, none, true, "empty"},
      {"broken backup too", broken, broken, true, "empty"},
      {"text after NUL ignored", std::string("{\"v\":1}\0garbage", 15), none, true, "{\"v\":1}"},
  };
  int n = 0;
  for (auto& c : cases) {
    std::string base = dir.file("doc" + std::to_string(n++));
    if (c.main) WriteWholeFile(base + ".json", *c.main);
    if (c.backup) WriteWholeFile(base + ".~json", *c.backup);
    TFastJSON j;
    j.Parse("[1]");
    j.LoadFromFile(base + ".json", c.tryBackup, false);
    EXPECT_EQ(Render(j), c.expected) << c.name;
  }
}

TEST(JsonFile, ReraiseAndSelfBackup) {
  test::TempDir dir;
  WriteWholeFile(dir.file("a.json"), "[1,,2]");
  WriteWholeFile(dir.file("a.~json"), "[3]");
  TFastJSON j;
  EXPECT_EQ(Failure([&] { j.LoadFromFile(dir.file("a.json"), true, true); }),
            "<TJsonArray>\"\" parse error: [1,,2] ..");
  EXPECT_EQ(Render(j), "[3]");
  // A broken backup loaded directly must not fall back onto itself for ever.
  WriteWholeFile(dir.file("b.~json"), "[");
  j.LoadFromFile(dir.file("b.~json"), true, false);
  EXPECT_EQ(Render(j), "empty");
  // A folder is no file.
  j.LoadFromFile(dir.path(), true, false);
  EXPECT_EQ(Render(j), "empty");

  const std::string d(1, PathDelim);
  EXPECT_EQ(JsonBackupPath(d + "x" + d + "doc.json"), d + "x" + d + "doc.~json");
  EXPECT_EQ(JsonBackupPath(d + "x.d" + d + "doc"), d + "x.d" + d + "doc.~json");
  EXPECT_EQ(JsonBackupPath("doc.a.b"), "doc.a.~json");
}

}  // namespace
}  // namespace dz
