#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "docdata/Cp1252.h"
#include "docdata/ExtendedFloat.h"
#include "docdata/NumberFormat.h"
#include "platform/Platform.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

TEST(Cp1252, EveryByteRoundTripsThroughUtf16AndUtf8) {
  for (int b = 0; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(one)), one) << b;
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << b;
  }
}

TEST(Cp1252, KnownMappings) {
  EXPECT_EQ(Cp1252ToUnicode(0x80), 0x20AC);
  EXPECT_EQ(Cp1252ToUnicode(0x81), 0x0081);
  EXPECT_EQ(Cp1252ToUnicode(0x9F), 0x0178);
  EXPECT_EQ(Cp1252ToUtf8("Gr\xF6\xDF"
                         "e \x80"),
            "Gr\xC3\xB6\xC3\x9F"
            "e \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252("\xC5\x82"), "?");   // l with stroke has no byte
  EXPECT_EQ(Utf8ToCp1252("a\xFFz"), "a?z");   // invalid UTF-8
  EXPECT_EQ(Utf8ToCp1252("\xC0\x80"), "??");  // overlong form
  EXPECT_EQ(Utf16ToCp1252(u"\xD83D\xDE00x"), "?x");
}

// The conversions copy ASCII a word at a time and take shortcuts for common sequences;
// texts mixing every kind of piece at every offset must convert as piece by piece.
TEST(Cp1252, LongMixedTextsConvertAsTheirPieces) {
  auto utf8Of = [](char32_t cp) {  // plain encoder, the reference
    std::string u;
    if (cp < 0x80) {
      u += static_cast<char>(cp);
    } else if (cp < 0x800) {
      u += static_cast<char>(0xC0 | (cp >> 6));
      u += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      u += static_cast<char>(0xE0 | (cp >> 12));
      u += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      u += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return u;
  };
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string eightBit, utf8, fromUtf8, expected;
    // Long enough, often, to be decoded in several stretches, split anywhere.
    const int pieces = static_cast<int>(rng() % 120);
    for (int p = 0; p < pieces; ++p) {
      const unsigned kind = rng() % 6;
      if (kind < 3) {  // a byte; mostly ASCII runs
        const int b =
            kind < 2 ? static_cast<int>(0x20 + rng() % 0x60) : static_cast<int>(rng() % 256);
        eightBit += static_cast<char>(b);
        utf8 += utf8Of(Cp1252ToUnicode(static_cast<unsigned char>(b)));
        fromUtf8 += utf8Of(Cp1252ToUnicode(static_cast<unsigned char>(b)));
        expected += static_cast<char>(b);
      } else if (kind == 3) {  // no byte for it
        fromUtf8 += utf8Of(rng() % 2 ? 0x0142 : 0x0080);
        expected += '?';
      } else if (kind == 4) {  // broken, overlong, or beyond what has a byte
        static const std::pair<const char*, const char*> kBroken[] = {
            {"\xC3!", "?!"},
            {"\x9F", "?"},
            {"\xE2\x82!",
             "?"
             "?!"},
            {"\xE0\x80\x80", "???"},
            {"\xC1\xBF", "??"},
            {"\xF0\x9F\x98\x80", "?"},
        };
        const auto& [bytes, become] = kBroken[rng() % std::size(kBroken)];
        fromUtf8 += bytes;
        expected += become;
      } else {
        const std::string run(rng() % 20, 'a' + static_cast<char>(rng() % 26));
        eightBit += run;
        utf8 += run;
        fromUtf8 += run;
        expected += run;
      }
    }
    EXPECT_EQ(Cp1252ToUtf8(eightBit), utf8);
    EXPECT_EQ(Utf8ToCp1252(fromUtf8), expected);
    EXPECT_EQ(IsAscii(eightBit), Cp1252ToUtf8(eightBit) == eightBit);
  }
}

// Any bytes at all, binary data sent as text among them, decode as the plain rule says:
// a well-formed character gives its byte or '?', each byte of a broken form a '?'.
TEST(Cp1252, AnyBytesDecodeByThePlainRule) {
  auto plain = [](std::string_view u) {
    std::string out;
    for (size_t i = 0; i < u.size();) {
      const auto c = static_cast<unsigned char>(u[i]);
      const size_t len = c < 0x80                ? 1
                         : c >= 0xC0 && c < 0xE0 ? 2
                         : c >= 0xE0 && c < 0xF0 ? 3
                         : c >= 0xF0 && c < 0xF8 ? 4
                                                 : 0;
      char32_t cp = len == 1 ? c : c & (0x7F >> len);
      bool ok = len > 0 && i + len <= u.size();
      for (size_t k = 1; ok && k < len; ++k) {
        ok = (static_cast<unsigned char>(u[i + k]) & 0xC0) == 0x80;
        cp = cp << 6 | (u[i + k] & 0x3F);
      }
      const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
      if (!ok || cp < least[len]) {
        out += '?';
        ++i;
        continue;
      }
      const int b = UnicodeToCp1252(cp);
      out += b < 0 ? '?' : static_cast<char>(b);
      i += len;
    }
    return out;
  };
  std::mt19937 rng(11);
  for (int round = 0; round < 2000; ++round) {
    // The forms of bytes, as a host sends binary data, with more or less damage between.
    const unsigned damage = static_cast<unsigned>(round % 5) * 40;  // per thousand pieces
    std::string bytes;
    const int size = static_cast<int>(rng() % 300);
    for (int k = 0; k < size; ++k) {
      if (rng() % 1000 >= damage) {
        bytes += Cp1252ToUtf8(std::string(1, static_cast<char>(rng() % 256)));
      } else if (rng() % 2) {
        bytes += static_cast<char>(rng() % 256);
      } else {  // a lead or a continuation byte, or a lead of a form that may be overlong
        static const unsigned char kPick[] = {0x80, 0xBF, 0xC0, 0xC1, 0xC2, 0xC5, 0xCB, 0xDF,
                                              0xE0, 0xE2, 0xED, 0xEF, 0xF0, 0xF4, 0xF8, 0xFF};
        bytes += static_cast<char>(kPick[rng() % std::size(kPick)]);
      }
    }
    ASSERT_EQ(Utf8ToCp1252(bytes), plain(bytes)) << round;
  }
}

TEST(Cp1252, Casing) {
  EXPECT_EQ(LowerCase("\xC4\xD6\xDC Stra\xDF"
                      "e \x8A\x8C\x8E\x9F \xD7"),
            "\xE4\xF6\xFC stra\xDF"
            "e \x9A\x9C\x9E\xFF \xD7");
  EXPECT_EQ(UpperCase("\xE4\xF6\xFC\xFF\xB5\xF7"), "\xC4\xD6\xDC\x9F\xB5\xF7");
  EXPECT_TRUE(SameText("stueck", "STUECK"));
  EXPECT_FALSE(SameText("stueck", "stuec"));
  for (int b = 0; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    if (LowerChar(c) != c) {
      EXPECT_EQ(UpperChar(LowerChar(c)), c) << b;
    }
  }
}

struct NumberCase {
  const char* text;
  bool ok;
  long double value;
};

TEST(Numbers, TextToFloatWithCommaSeparator) {
  const NumberCase cases[] = {
      {"1,5", true, 1.5L},
      {" -2,25 ", true, -2.25L},
      {"3", true, 3},
      {"1.5", false, 0},
      {"", false, 0},
      {",", false, 0},
      {"5,", true, 5},
      {",5", true, 0.5L},
      {"1E3", true, 1000},
      {"1,234,5", false, 0},
      {"1e", false, 0},
      {"abc", false, 0},
      {"+7", true, 7},
      {"1 2", false, 0},
      // The general path (an exponent or more than 19 digits) rounds correctly, and an
      // exponent too long for any integer reads as overflow or underflow.
      {"0,1e0", true, 0.1L},
      {"1,7976931348623157e308", true, 1.7976931348623157e308L},
      {"12345678901234567890,5", true, 12345678901234567890.5L},
      {"1e99999999999999999999", false, 0},
      {"-1e-99999999999999999999", true, -0.0L},
  };
  for (const auto& c : cases) {
    long double v = -1;
    EXPECT_EQ(TextToFloat(c.text, v, ','), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(Numbers, NormaliseAndRead) {
  test::ScopedNumberFormat f(',', '.');
  EXPECT_EQ(NormalizeNumber("  1.5\t"), "1,5");
  EXPECT_EQ(N("1.234,5"), 0);  // two separators after normalisation
  EXPECT_EQ(N("2.5"), 2.5L);
  EXPECT_EQ(N(""), 0);
  EXPECT_EQ(StrToFloatDef("x", 0), 0);
}

TEST(Numbers, GeneralFormat) {
  test::ScopedNumberFormat f(',', '.');
  const std::pair<long double, const char*> cases[] = {
      {2.5L, "2,5"},
      {3, "3"},
      {0, "0"},
      {1e-6L, "1E-6"},
      {0.0001L, "0,0001"},
      {0.00001L, "1E-5"},
      {-7.25L, "-7,25"},
      {1e15L, "1E15"},
      {123456789012345.0L, "123456789012345"},
      {0.1L + 0.2L, "0,3"},
      {1.0L / 3, "0,333333333333333"},
      {2.0L / 3, "0,666666666666667"},
      {1.5e20L, "1,5E20"},
  };
  for (const auto& [v, want] : cases) EXPECT_EQ(T(v), want);
  test::ScopedNumberFormat p('.', '\'');
  EXPECT_EQ(T(2.5L), "2.5");
}

TEST(Numbers, FixedPatterns) {
  test::ScopedNumberFormat f(',', '.');
  EXPECT_EQ(FormatQuantity(1234.5L), "1.234,500");
  EXPECT_EQ(FormatQuantity(0), "0,000");
  EXPECT_EQ(FormatQuantity(-1234567.0005L), "-1.234.567,001");
  EXPECT_EQ(FormatQuantity(999.9996L), "1.000,000");
  EXPECT_EQ(FormatQuantity(-0.0001L), "0,000");
  EXPECT_EQ(FormatAmount(0), "");
  EXPECT_EQ(FormatAmount(1851.75L), "1.851,750");
  EXPECT_EQ(FormatPlain2(1234.5L), "1234,50");
  EXPECT_EQ(FormatPlain2(0.125L), "0,13");
  EXPECT_EQ(FormatF4(0.12345L), "0,1235");
  EXPECT_EQ(FormatQuantity(123.0L), "123,000");
  test::ScopedNumberFormat p('.', '\'');
  EXPECT_EQ(FormatQuantity(1234567.5L), "1'234'567.500");
}

// The fast paths of T, FormatFixed and TextToFloat must agree with the exact digit
// generation everywhere, including values near rounding ties.
TEST(Numbers, FastPathsEqualExactConversion) {
  test::ScopedNumberFormat f(',', '.');
  std::mt19937_64 rng(99);
  auto check = [](long double v) {
    ASSERT_EQ(T(v), TExact(v)) << static_cast<double>(v);
    ASSERT_EQ(FormatFixed(v, 3, true), FormatFixedExact(v, 3, true)) << static_cast<double>(v);
    ASSERT_EQ(FormatFixed(v, 2, false), FormatFixedExact(v, 2, false)) << static_cast<double>(v);
    ASSERT_EQ(FormatFixed(v, 4, false), FormatFixedExact(v, 4, false)) << static_cast<double>(v);
  };
  for (int i = 0; i < 40000; ++i) {
    const int scale = static_cast<int>(rng() % 8);
    const long double v =
        static_cast<long double>(static_cast<int64_t>(rng() % 2000000) - 1000000) /
        static_cast<long double>(std::pow(10.0L, scale));
    check(v);
    check(v + N("0,0005"));  // ties of the three-decimal patterns
    check(v * 1e-3L + static_cast<long double>(rng() % 1000) * 1e9L);
  }
  for (long double v : {0.0005L, 0.00049999999L, 0.125L, 2.675L, 1e-5L, 9.99999999999999e14L,
                        999999999999999.5L, 0.1L + 0.2L, 1e-6L})
    check(v);
  // The integer fast path of the conversion against the general one.
  for (int i = 0; i < 100000; ++i) {
    std::string t = std::to_string(rng() % 100000000) + "," + std::to_string(rng() % 1000000);
    long double a, b;
    ASSERT_TRUE(TextToFloat(t, a, ','));
    std::string e = t + "e0";
    ASSERT_TRUE(TextToFloat(e, b, ','));
    ASSERT_EQ(a, b) << t;
  }
}

// Short decimals are read and written from their digits; the ordinary reading
// (normalise, then convert) and T are the reference, for both separators.
TEST(Numbers, ShortDecimalsEqualTheOrdinaryPath) {
  std::mt19937_64 rng(7);
  const char* fixed[] = {"-0",  "0,000", " +7,25 ", "5.",   ",5",   "999999999999,999",
                         "1,2", "\t3\n", "-0,001",  "1,23", "1e2",  "1,2345",
                         ".",   "-",     "1.234,5", "12 3", "0001", "123456789012345678901234,5"};
  for (auto [dec, thou] : {std::pair{',', '.'}, {'.', '\''}}) {
    test::ScopedNumberFormat f(dec, thou);
    auto check = [](const std::string& t) {
      const long double fast = N(t), slow = StrToFloatDef(NormalizeNumber(t), 0);
      ASSERT_TRUE(fast == slow && std::signbit(fast) == std::signbit(slow)) << t;
      int64_t th;
      if (ShortDecimal(t, th)) {
        ASSERT_EQ(ThousandthsText(th), T(N(t))) << t;
      }
    };
    for (const char* t : fixed) check(t);
    for (int i = 0; i < 20000; ++i) {
      const int64_t whole = static_cast<int64_t>(rng() % 1000000000000);
      std::string t = (rng() % 2 ? "-" : "") + std::to_string(whole >> (rng() % 40));
      if (rng() % 4)
        t += (rng() % 2 ? "," : ".") + std::to_string(1000 + rng() % 1000).substr(1 + rng() % 3);
      check(t);
    }
  }
}

TEST(Numbers, IniFile) {
  test::TempDir dir;
  EXPECT_EQ(NumberFormatFromIni(dir.file("REROVIR.INI")).DecimalSeparator, ',');
  const std::pair<const char*, char> cases[] = {
      {"[COUNTRY]\nEURO=0\n", '.'},
      {"[COUNTRY]\nEURO=false\n", '.'},
      {"[country]\r\neuro=False\r\n", '.'},
      {"[COUNTRY]\nEURO=1\n", ','},
      {"[COUNTRY]\nEURO=true\n", ','},
      {"[OTHER]\nEURO=0\n", ','},
      {"garbage", ','},
  };
  for (const auto& [text, dec] : cases) {
    ASSERT_TRUE(WriteWholeFile(dir.file("REROVIR.INI"), text));
    NumberFormat f = NumberFormatFromIni(dir.file("REROVIR.INI"));
    EXPECT_EQ(f.DecimalSeparator, dec) << text;
    EXPECT_EQ(f.ThousandSeparator, dec == '.' ? '\'' : '.') << text;
  }
}

TEST(ExtendedFloat, KnownEncodings) {
  uint8_t b[10];
  EncodeExtended(1.0L, b);
  const uint8_t one[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(std::memcmp(b, one, 10), 0);
  EncodeExtended(-2.0L, b);
  const uint8_t m2[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0};
  EXPECT_EQ(std::memcmp(b, m2, 10), 0);
  EncodeExtended(0.0L, b);
  for (auto c : b) EXPECT_EQ(c, 0);
}

TEST(ExtendedFloat, AwkwardDoublesRoundTripExactly) {
  const double cases[] = {0.01,
                          -0.01,
                          1.23456,
                          1e300,
                          -1e-300,
                          std::numeric_limits<double>::denorm_min(),
                          std::numeric_limits<double>::min(),
                          std::numeric_limits<double>::max(),
                          5e-324 * 3,
                          123456789.125,
                          -0.0};
  for (double d : cases) {
    uint8_t b[10];
    EncodeExtended(d, b);
    long double back = DecodeExtended(b);
    EXPECT_EQ(static_cast<double>(back), d);
    EXPECT_EQ(std::signbit(back), std::signbit(d));
  }
  uint8_t b[10];
  EncodeExtended(std::numeric_limits<long double>::infinity(), b);
  EXPECT_TRUE(std::isinf(DecodeExtended(b)));
  EncodeExtended(std::numeric_limits<long double>::quiet_NaN(), b);
  EXPECT_TRUE(std::isnan(DecodeExtended(b)));
  // An extended denormal decodes without trouble.
  const uint8_t den[10] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_GT(DecodeExtended(den), 0.0L);
}

}  // namespace
}  // namespace dz
