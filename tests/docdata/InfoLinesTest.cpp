#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "docdata/AddInfoLines.h"
#include "docdata/CSVReader.h"

namespace dz {
namespace {

// "Info1=..|Info2=..|key:ORG_ID:_1:..:_8:F" per line, for comparing whole collections.
std::string Summary(const TAddInfoLines& l) {
  std::string s = "Info1=" + l.Info1 + "|Info2=" + std::to_string(l.Info2);
  for (size_t i = 0; i < l.Count(); ++i) {
    const TAddInfoLine& x = l.Item(i);
    s += "|" + x.RecordKey + ":" + std::to_string(x.ORG_ID);
    for (const std::string* t : {&x._1, &x._2, &x._3, &x._4, &x._5, &x._6, &x._7, &x._8})
      s += ":" + *t;
    s += x.Forcedelete ? ":F" : ":-";
  }
  return s;
}

std::string Line(std::string key, int id, std::string one = "") {
  return "|" + key + ":" + std::to_string(id) + ":" + one + ":::::::" + ":-";
}

struct RecordCase {
  const char* name;
  std::string text;
  std::string expected;
};

const RecordCase kRecords[] = {
    {"header and two lines", "Info1,Kopf\r\nInfo2,7\r\nx,1002\r\nx,1001\r\n",
     "Info1=Kopf|Info2=7" + Line("x", 1001) + Line("x", 1002)},
    {"without final CR LF", "Info1,Kopf\r\nInfo2,7\r\nx,1002\r\nx,1001",
     "Info1=Kopf|Info2=7" + Line("x", 1002)},
    {"final CR without LF", "x,1002\r\nx,1001\r", "Info1=|Info2=0" + Line("x", 1002)},
    {"ending after a separator", "x,1\r\nx,2,", "Info1=|Info2=0" + Line("x", 1)},
    {"ending in a quoted field", "x,1\r\nx,2,\"ab", "Info1=|Info2=0" + Line("x", 1)},
    {"empty text", "", "Info1=|Info2=0"},
    {"four bytes TPF0", "TPF0", "Info1=|Info2=0"},
    {"five bytes from TPF0 on are a stream", "TPF0\r\n", "Info1=|Info2=0"},
    {"TPF as a record", "TPF\r\n", "Info1=|Info2=0" + Line("TPF", 0)},
    {"blank line", "\r\nx,3\r\n", "Info1=|Info2=0" + Line("", 0) + Line("x", 3)},
    {"not a number", "x,abc\r\n", "Info1=|Info2=0" + Line("x", 0)},
    {"Info2 not a number", "Info2,zwei\r\n", "Info1=|Info2=0"},
    {"quoted separator", "x,5,\"a,b\"\r\n", "Info1=|Info2=0" + Line("x", 5, "a,b")},
    {"doubled quotes", "x,5,\"say \"\"hi\"\"\"\r\n", "Info1=|Info2=0" + Line("x", 5, "say \"hi\"")},
    {"CR inside quotes", "x,5,\"a\rb\"\r\n", "Info1=|Info2=0" + Line("x", 5, "a\rb")},
    {"escapes trimmed away", "x,5,%c%n\r\n", "Info1=|Info2=0" + Line("x", 5, "")},
    {"escapes", "x,5,a%%b%0c%x%\r\n", "Info1=|Info2=0" + Line("x", 5, std::string("a%b\0c%x", 7))},
    {"blanks trimmed", " x , 6 ,\t z \r\n", "Info1=|Info2=0" + Line("x", 6, "z")},
    {"text after closing quote", "x,5,\"a\"b\r\n", "Info1=|Info2=0" + Line("x", 5, "ab")},
    {"all fields", "k,9,1,2,3,4,5,6,7,8,1,extra\r\n", "Info1=|Info2=0|k:9:1:2:3:4:5:6:7:8:F"},
    {"Forcedelete needs 1", "k,9,,,,,,,,,True\r\n", "Info1=|Info2=0" + Line("k", 9)},
    {"equal IDs kept", "a,2\r\nb,1\r\nc,2\r\n",
     "Info1=|Info2=0" + Line("b", 1) + Line("a", 2) + Line("c", 2)},
};

TEST(InfoLines, CommaSeparatedRecords) {
  for (const auto& c : kRecords) {
    TAddInfoLines lines;
    lines.Info1 = "old";
    lines.Add().ORG_ID = 99;
    lines.Load(c.text);
    EXPECT_EQ(Summary(lines), c.expected) << c.name;
  }
}

TEST(InfoLines, ReaderGivesRawFields) {
  TCSVReader r("a,\"b%c\",\r\n\r\n\"x\"\"y\";z\r\n", ',', '"');
  std::vector<std::string> f;
  ASSERT_TRUE(r.Next(f));
  EXPECT_EQ(f, (std::vector<std::string>{"a", "b%c", ""}));
  ASSERT_TRUE(r.Next(f));
  EXPECT_TRUE(f.empty());
  ASSERT_TRUE(r.Next(f));
  EXPECT_EQ(f, (std::vector<std::string>{"x\"y;z"}));
  EXPECT_FALSE(r.Next(f));
  EXPECT_FALSE(r.Next(f));
}

// Component stream bytes built by hand.
std::string S(const std::string& s) {
  return std::string(1, char(s.size())) + s;
}
std::string Item(int id, const std::string& one, bool force) {
  std::string b = "\x01" + S("ORG_ID") + "\x03" + char(id & 0xFF) + char(id >> 8);
  if (!one.empty()) b += S("_1") + "\x06" + S(one);
  b += S("Forcedelete") + (force ? "\x09" : "\x08");
  return b + '\0';
}
std::string Stream(const std::string& props) {
  return "TPF0" + S("TAddInfoLinesWrapper") + S("") + props + std::string(2, '\0');
}

TEST(InfoLines, ComponentStream) {
  const std::string items = Item(1002, "b", true) + "\x02\x07" + Item(1001, "a", false);
  const std::string good = Stream(S("Info1") + "\x06" + S("Kopf") + S("Info2") + "\x02\x05" +
                                  S("AddInfoLines") + "\x0E" + items + '\0');
  const struct {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"two items sorted", good,
       "Info1=Kopf|Info2=5" + Line("", 1001, "a") + "|:1002:b:::::::" + ":F"},
      {"empty collection", Stream(S("AddInfoLines") + "\x0E" + '\0'), "Info1=|Info2=0"},
      {"wrong property name", Stream(S("Info3") + "\x06" + S("x")), "Info1=|Info2=0"},
      {"Info2 as a string", Stream(S("Info2") + "\x06" + S("5")), "Info1=|Info2=0"},
      {"cut short", good.substr(0, good.size() - 3), "Info1=|Info2=0"},
      {"signature only plus one byte", "TPF0\x14", "Info1=|Info2=0"},
  };
  for (const auto& c : cases) {
    TAddInfoLines lines;
    lines.Add().ORG_ID = 99;
    lines.Load(c.bytes);
    EXPECT_EQ(Summary(lines), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace dz
