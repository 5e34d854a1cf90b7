// The query result table: the host's field list and its "vds" record files, built here
// byte by byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "docdata/Cp1252.h"
#include "docdata/Exception.h"
#include "docdata/ExtendedFloat.h"
#include "hostlink/BinaryStreamFormat.h"
#include "hostlink/VirtualDataSet.h"
#include "platform/Platform.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

// Record-file bytes, spelt out tag by tag.
struct Bytes {
  std::string b;
  Bytes& raw(std::string_view s) {
    b += s;
    return *this;
  }
  Bytes& u8(int v) {
    b += static_cast<char>(v);
    return *this;
  }
  Bytes& le(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
  }
  Bytes& ext(long double v) {
    uint8_t x[10];
    EncodeExtended(v, x);
    b.append(reinterpret_cast<const char*>(x), 10);
    return *this;
  }
  // Start of file and of one record with its group number.
  Bytes& head() { return raw("TPF0").u8(1); }
  Bytes& rec() { return u8(1).u8(2).u8(0); }
  Bytes& end() { return u8(0); }
};

int Load(TVirtualDataSet& ds, const std::string& bytes) {
  TBinaryStreamFormat f;
  return f.LoadFromBytes(ds, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string LoadError(const std::string& fieldList, const std::string& bytes) {
  TVirtualDataSet ds;
  ds.SetFieldDefsFromText(fieldList);
  try {
    Load(ds, bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no error)";
}

// ----- field list -----

struct FieldListCase {
  const char* text;
  std::vector<TFieldDef> want;
};

TEST(FieldList, DefinesFieldsInOrder) {
  const FieldListCase cases[] = {
      // The record key is a plain integer whatever type the host gives it, but only when it
      // is spelt exactly "ID" and comes without a size.
      {"ID,14,0\r\n", {{"ID", ftInteger, 0}}},
      {"ID,3,4\r\n", {{"ID", ftInteger, 4}}},
      {"ID,1,10\r\n", {{"ID", ftString, 10}}},
      {"id,14,0\r\n", {{"id", ftAutoInc, 0}}},
      {"Date,11,0\r\nPOT,3,0\r\n", {{"Date", ftDateTime, 0}, {"POT", ftInteger, 0}}},
      // The last line without its CR LF is lost.
      {"a,1,5\r\nb,3,0", {{"a", ftString, 5}}},
      {"a,1,5\r\nb,3,0\r", {{"a", ftString, 5}}},
      {"a,1,5\r", {}},
      {"", {}},
      {"\"say \"\"hi\"\", ok\",1,20\r\n", {{"say \"hi\", ok", ftString, 20}}},
      {"x,abc,9z\r\n", {{"x", ftUnknown, 0}}},
      {"x\r\n", {{"x", ftUnknown, 0}}},
      {"big,99,0\r\n", {{"big", 99, 0}}},
      {" spaced , 6 , 8 \r\n", {{"spaced", ftFloat, 8}}},
      {"a%%b,1,3\r\n", {{"a%b", ftString, 3}}},
      {"\r\nb,5,0\r\n", {{"", ftUnknown, 0}, {"b", ftBoolean, 0}}},
  };
  for (const auto& c : cases) {
    TVirtualDataSet ds;
    ds.SetFieldDefsFromText(c.text);
    ASSERT_EQ(ds.FieldDefs().size(), c.want.size()) << c.text;
    for (size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(ds.FieldDefs()[i].Name, c.want[i].Name) << c.text;
      EXPECT_EQ(ds.FieldDefs()[i].DataType, c.want[i].DataType) << c.text;
      EXPECT_EQ(ds.FieldDefs()[i].Size, c.want[i].Size) << c.text;
    }
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.FieldCount(), c.want.size());
    EXPECT_TRUE(ds.Eof());
  }
}

TEST(FieldList, NamesMatchWithoutRegardToCase) {
  TVirtualDataSet ds;
  ds.SetFieldDefsFromText("datas,15,0\r\nDate,11,0\r\n\xC4nderung,1,5\r\n");
  EXPECT_EQ(ds.FieldByName("DATAS").Index(), 0);
  EXPECT_EQ(ds.FieldByName("date").Index(), 1);
  EXPECT_EQ(ds.FieldByName("\xE4NDERUNG").Index(), 2);
  try {
    ds.FieldByName("Datum");
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Das Feld 'Datum' wurde nicht gefunden");
  }
  // A new field list replaces the old one.
  ds.SetFieldDefsFromText("other,3,0\r\n");
  EXPECT_EQ(ds.FindField("datas"), nullptr);
}

// ----- record values -----

struct ValueCase {
  const char* name;
  int type;
  std::string value;  // the bytes after the "not null" flag
  std::string asString;
  int32_t asInteger;
  double asNumber;  // AsFloat and AsDateTime of non-text fields
  bool isNull;
};

TEST(RecordFile, ReadsEveryKindOfValue) {
  test::ScopedNumberFormat fmt(',', '.');
  auto b = [] { return Bytes(); };
  const ValueCase cases[] = {
      {"int8", ftSmallint, b().u8(2).u8(0x85).b, "-123", -123, -123, false},
      {"int16", ftInteger, b().u8(3).le(0x8000, 2).b, "-32768", -32768, -32768, false},
      {"int32", ftAutoInc, b().u8(4).le(0x7FFFFFFF, 4).b, "2147483647", 2147483647, 2147483647,
       false},
      {"word", ftWord, b().u8(3).le(40000 - 65536, 2).b, "-25536", -25536, -25536, false},
      {"true", ftBoolean, b().u8(9).b, "True", 1, 1, false},
      {"false", ftBoolean, b().u8(8).b, "False", 0, 0, false},
      {"float", ftFloat, b().u8(5).ext(2.5L).b, "2,5", 2, 2.5, false},
      {"float from int64", ftFloat, b().u8(19).le(1ULL << 40, 8).b, "1099511627776", 0,
       1099511627776.0, false},
      {"float from int8", ftFloat, b().u8(2).u8(7).b, "7", 7, 7, false},
      // Currency keeps four decimals, rounded.
      {"currency", ftCurrency, b().u8(5).ext(1.23456L).b, "1,2346", 1, 1.2346, false},
      {"bcd", ftBCD, b().u8(5).ext(-0.00004L).b, "0", 0, 0, false},
      {"bcd small", ftBCD, b().u8(5).ext(-0.00006L).b, "-0,0001", 0, -0.0001, false},
      {"date", ftDate, b().u8(5).ext(45000).b, "45000", 45000, 45000, false},
      {"datetime", ftDateTime, b().u8(5).ext(45000.75L).b, "45000,75", 45001, 45000.75, false},
      // An empty date is stored as 0 and reads as null.
      {"date zero", ftDateTime, b().u8(5).ext(0).b, "", 0, 0, true},
      {"time from int", ftTime, b().u8(2).u8(0).b, "", 0, 0, true},
      {"largeint", ftLargeint, b().u8(5).ext(7.6L).b, "8", 8, 8, false},
      {"largeint big", ftLargeint, b().u8(19).le(1ULL << 62, 8).b, "4611686018427387904", 0,
       4611686018427387904.0, false},
      {"short text", ftString, b().u8(6).u8(3).raw("12x").b, "12x", 0, 0, false},
      {"long text", ftMemo, b().u8(12).le(4, 4).raw("-42 ").b, "-42 ", -42, 0, false},
      {"utf-8 text", ftString, b().u8(20).le(6, 4).raw("Gr\xC3\xBC\xC3\x9F").b, "Gr\xFC\xDF", 0, 0,
       false},
      {"utf-16 text", ftFixedChar, b().u8(18).le(2, 4).raw(std::string("\xAC\x20\xE4\x00", 4)).b,
       "\x80\xE4", 0, 0, false},
      {"wide text", ftWideString, b().u8(6).u8(1).raw("w").b, "w", 0, 0, false},
      {"unknown code", 77, b().u8(6).u8(2).raw("99").b, "99", 99, 0, false},
      {"empty text", ftBlob, b().u8(12).le(0, 4).b, "", 0, 0, false},
  };
  for (const auto& c : cases) {
    TVirtualDataSet ds;
    ds.SetFieldDefsFromText(std::string("F,") + std::to_string(c.type) + ",0\r\n");
    ASSERT_EQ(Load(ds, Bytes().head().rec().u8(8).raw(c.value).end().end().b), 1) << c.name;
    ASSERT_FALSE(ds.Eof());
    TField& f = ds.FieldByName("f");
    EXPECT_EQ(f.IsNull(), c.isNull) << c.name;
    EXPECT_EQ(f.AsString(), c.asString) << c.name;
    if (ValueKindOf(c.type) == TValueKind::Text || ValueKindOf(c.type) == TValueKind::WideText) {
      EXPECT_EQ(f.AsDateTime(), 0) << c.name;
    } else {
      EXPECT_EQ(f.AsInteger(), c.asInteger) << c.name;
      EXPECT_DOUBLE_EQ(static_cast<double>(f.AsFloat()), c.asNumber) << c.name;
      EXPECT_DOUBLE_EQ(f.AsDateTime(), c.asNumber) << c.name;
    }
    // Taking gives the same text; a text taken is gone from the record.
    const bool text =
        ValueKindOf(c.type) == TValueKind::Text || ValueKindOf(c.type) == TValueKind::WideText;
    EXPECT_EQ(f.TakeString(), c.asString) << c.name;
    EXPECT_EQ(f.AsString(), text ? "" : c.asString) << c.name;
  }
}

TEST(RecordFile, EveryByteValueSurvivesLongAndUtf8Text) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const std::string utf8 = Cp1252ToUtf8(all);
  ASSERT_NE(utf8.size(), all.size());
  std::string utf16;
  for (char16_t u : Cp1252ToUtf16(all)) utf16 += Bytes().le(u, 2).b;
  std::string bytes = Bytes()
                          .head()
                          .rec()
                          .u8(8)
                          .u8(12)
                          .le(all.size(), 4)
                          .raw(all)
                          .u8(8)
                          .u8(20)
                          .le(utf8.size(), 4)
                          .raw(utf8)
                          .u8(8)
                          .u8(18)
                          .le(256, 4)
                          .raw(utf16)
                          .end()
                          .end()
                          .b;
  TVirtualDataSet ds;
  ds.SetFieldDefsFromText("a,15,0\r\nb,15,0\r\nc,15,0\r\n");
  ASSERT_EQ(Load(ds, bytes), 1);
  EXPECT_EQ(ds.FieldByName("a").AsString(), all);
  EXPECT_EQ(ds.FieldByName("b").AsString(), all);
  EXPECT_EQ(ds.FieldByName("c").AsString(), all);
}

TEST(RecordFile, RecordsNullsAndRepeatedGroups) {
  test::ScopedNumberFormat fmt(',', '.');
  // Record 1: a null, b null (each flag directly followed by the next one).
  // Record 2: a = 5, b = "x"; a second group overwrites a with null and b with "y".
  std::string bytes = Bytes()
                          .head()
                          .rec()
                          .u8(9)
                          .u8(9)
                          .end()
                          .rec()
                          .u8(8)
                          .u8(2)
                          .u8(5)
                          .u8(8)
                          .u8(6)
                          .u8(1)
                          .raw("x")
                          .u8(3)
                          .le(1, 2)
                          .u8(9)
                          .u8(8)
                          .u8(6)
                          .u8(1)
                          .raw("y")
                          .end()
                          .end()
                          .b;
  TVirtualDataSet ds;
  ds.SetFieldDefsFromText("a,3,0\r\nb,1,1\r\n");
  ASSERT_EQ(Load(ds, bytes), 2);
  ASSERT_EQ(ds.RecordCount(), 2u);
  ds.First();
  EXPECT_TRUE(ds.FieldByName("a").IsNull());
  EXPECT_EQ(ds.FieldByName("a").AsInteger(), 0);
  EXPECT_EQ(ds.FieldByName("b").AsString(), "");
  ds.Next();
  ASSERT_FALSE(ds.Eof());
  EXPECT_TRUE(ds.FieldByName("a").IsNull());
  EXPECT_EQ(ds.FieldByName("b").AsString(), "y");
  ds.Next();
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.FieldByName("b").IsNull());  // past the end nothing is read
  ds.Next();
  EXPECT_TRUE(ds.Eof());

  // An observer sees each record once it is whole: the second after its later group.
  std::vector<std::string> seen;
  TVirtualDataSet watched;
  watched.SetFieldDefsFromText("a,3,0\r\nb,1,1\r\n");
  watched.SetRecordObserver(
      [&seen](TVirtualDataSet& r) { seen.push_back(r.FieldByName("b").AsString()); });
  ASSERT_EQ(Load(watched, bytes), 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"", "y"}));
}

struct ErrorCase {
  const char* name;
  const char* fields;
  std::string bytes;
  std::string message;
};

TEST(RecordFile, DamagedFilesGiveTheReaderErrors) {
  auto b = [] { return Bytes(); };
  auto pv = [](const std::string& reader, size_t size, size_t at) {
    return "TXReader.EReadError: SInvalidPropertyValue: " + reader + std::to_string(size) + " At " +
           std::to_string(at);
  };
  const std::string rd = "SReadError";
  const ErrorCase cases[] = {
      {"signature", "", b().raw("TPF1").u8(1).end().b, "TXReader.EReadError: SInvalidImage At 0"},
      {"too short for a signature", "", "TP", rd},
      {"signature only", "", "TPF0", rd},
      {"no list begin", "", b().raw("TPF0").u8(2).b,
       pv("TXReader.CheckValue ValueType: 1 Stream.Size=", 5, 4)},
      {"record not a list", "", b().head().u8(6).b,
       pv("TXReader.CheckValue ValueType: 1 Stream.Size=", 6, 5)},
      {"group number no integer", "", b().head().u8(1).u8(6).end().end().b,
       pv("TXReader.ReadInteger ReadValue invalid Stream.Size=", 9, 6)},
      {"null flag no boolean", "a,3,0\r\n", b().head().rec().u8(2).u8(1).end().end().b,
       pv("TXReader.ReadBoolean Stream.Size=", 12, 8)},
      {"integer as text", "a,3,0\r\n", b().head().rec().u8(8).u8(6).u8(0).end().end().b,
       pv("TXReader.ReadInteger ReadValue invalid Stream.Size=", 13, 9)},
      {"float as text", "a,6,0\r\n", b().head().rec().u8(8).u8(6).u8(0).end().end().b,
       pv("TXReader.ReadInteger ReadValue invalid Stream.Size=", 13, 9)},
      {"boolean as integer", "a,5,0\r\n", b().head().rec().u8(8).u8(2).u8(1).end().end().b,
       pv("TXReader.ReadBoolean Stream.Size=", 13, 9)},
      {"text as integer", "a,1,1\r\n", b().head().rec().u8(8).u8(2).u8(1).end().end().b,
       pv("TXReader.ReadString ReadValue invalid Stream.Size=", 13, 9)},
      {"wide text as integer", "a,24,1\r\n", b().head().rec().u8(8).u8(2).u8(1).end().end().b,
       pv("TXReader.ReadWideString ReadValue invalid Stream.Size=", 13, 9)},
      {"currency too large", "a,7,0\r\n", b().head().rec().u8(8).u8(5).ext(1e300L).end().end().b,
       pv("TXReader.ReadFloat value out of range Stream.Size=", 22, 9)},
      {"later group no integer", "", b().head().u8(1).u8(2).u8(0).u8(1).b,
       pv("TXReader.ReadInteger ReadValue invalid Stream.Size=", 9, 8)},
      {"missing final end", "", b().head().rec().end().b, rd},
      {"text longer than the file", "a,1,0\r\n", b().head().rec().u8(8).u8(12).le(0xFFFFFFFF, 4).b,
       rd},
      {"utf-16 longer than the file", "a,1,0\r\n",
       b().head().rec().u8(8).u8(18).le(0x80000000, 4).b, rd},
      {"extended cut short", "a,6,0\r\n", b().head().rec().u8(8).u8(5).raw("12345").b, rd},
  };
  for (const auto& c : cases) EXPECT_EQ(LoadError(c.fields, c.bytes), c.message) << c.name;
}

TEST(RecordFile, EmptyFileHoldsNoRecords) {
  test::TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.file("r"), ""));
  TVirtualDataSet ds;
  ds.SetFieldDefsFromText("ID,14,0\r\n");
  TBinaryStreamFormat f;
  EXPECT_EQ(ds.LoadFromFile(f, dir.file("r")), 0);
  EXPECT_TRUE(ds.Active());
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 0);
}

TEST(RecordFile, ReadsThroughTheFileAndRefusesWhatCannotBeRead) {
  test::TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.file("r"), Bytes().head().rec().u8(8).u8(2).u8(42).end().end().b));
  TVirtualDataSet ds;
  ds.SetFieldDefsFromText("ID,14,0\r\n");
  TBinaryStreamFormat f;
  EXPECT_EQ(ds.LoadFromFile(f, dir.file("r")), 1);
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 42);

  // A result that is there but cannot be read must not pass for one without records.
  ASSERT_TRUE(MakeFolders(dir.file("d")));
  for (const std::string& path : {dir.file("d"), dir.file("missing")}) {
    try {
      ds.LoadFromFile(f, path);
      FAIL() << path;
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()),
                "Error: Die Ergebnisdatei der Abfrage konnte nicht gelesen werden: " + path);
    }
  }
}

}  // namespace
}  // namespace dz
