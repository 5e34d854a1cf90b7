#include <gtest/gtest.h>

#include <string>

#include "docdata/Exception.h"
#include "docdata/StreamValues.h"

namespace dz {
namespace {

using namespace std::string_literals;

TEST(StreamValues, PayloadsByTag) {
  struct IntCase {
    std::string bytes;
    int64_t value;
  };
  const IntCase ints[] = {
      {"\x02\xFF"s, -1},
      {"\x03\x00\x80"s, -32768},
      {"\x04\xFE\xFF\xFF\xFF"s, -2},
      {"\x13\x00\x00\x00\x00\x01\x00\x00\x00"s, int64_t{1} << 32},
  };
  for (const auto& c : ints) {
    TValueReader r(c.bytes);
    int64_t v = 0;
    ASSERT_TRUE(r.ReadIntegerPayload(r.ReadValueType(), v));
    EXPECT_EQ(v, c.value);
    EXPECT_TRUE(r.AtEnd());
  }
  const std::string currency = "\x10\x40\xE2\x01\x00\x00\x00\x00\x00\x06\x01x"s;  // 12.3456
  TValueReader r(currency);
  long double f = 0;
  ASSERT_TRUE(r.ReadFloatPayload(r.ReadValueType(), f));
  EXPECT_DOUBLE_EQ(static_cast<double>(f), 12.3456);
  std::string s;
  EXPECT_FALSE(r.ReadFloatPayload(r.NextValueType(), f));
  ASSERT_TRUE(r.ReadTextPayload(r.ReadValueType(), s));
  EXPECT_EQ(s, "x");
}

TEST(StreamValues, EveryByteValueSurvivesTheUnicodeTextTags) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  TValueWriter w;
  w.WriteUtf8String(all);
  w.WriteWideString(all);
  w.WriteString(all);
  w.WriteExtended(0.01L);
  w.WriteInteger(-129);
  const std::string bytes = w.Take();
  TValueReader r(bytes);
  for (ValueType expected : {ValueType::Utf8String, ValueType::WString, ValueType::LString}) {
    ValueType t = r.ReadValueType();
    EXPECT_EQ(t, expected);
    std::string s;
    ASSERT_TRUE(r.ReadTextPayload(t, s));
    EXPECT_EQ(s, all);
  }
  long double f;
  ASSERT_TRUE(r.ReadFloatPayload(r.ReadValueType(), f));
  EXPECT_EQ(static_cast<double>(f), 0.01);
  int64_t i;
  ValueType t = r.ReadValueType();
  EXPECT_EQ(t, ValueType::Int16);
  ASSERT_TRUE(r.ReadIntegerPayload(t, i));
  EXPECT_EQ(i, -129);
  EXPECT_TRUE(r.AtEnd());
}

TEST(StreamValues, ReadsAreBoundedAndUseTheCallersMessage) {
  const std::string cases[] = {"", "\x0C\x10\x00\x00\x00"s + "abc", "\x12\xFF\xFF\xFF\x7F"s,
                               "\x04\x01\x02"s};
  for (const auto& bytes : cases) {
    TValueReader r(bytes, "SReadError");
    try {
      ValueType t = r.ReadValueType();
      std::string s;
      int64_t i;
      if (!r.ReadTextPayload(t, s)) r.ReadIntegerPayload(t, i);
      ADD_FAILURE() << "no failure";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "SReadError");
    }
  }
  // Skipping whole values, nested lists and collections included.
  const std::string nested = "\x01\x01\x02\x05\x00\x0B\x01x\x00\x0E\x01\x01p\x08\x00\x00\x00\x09"s;
  TValueReader r(nested);
  ASSERT_TRUE(r.SkipPayload(r.ReadValueType()));
  EXPECT_EQ(r.ReadValueType(), ValueType::True);
  const std::string unknown = "\x15";
  TValueReader bad(unknown);
  EXPECT_FALSE(bad.SkipPayload(bad.ReadValueType()));
}

}  // namespace
}  // namespace dz
