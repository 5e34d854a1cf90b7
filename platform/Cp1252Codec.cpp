#include "platform/Cp1252Codec.h"

namespace dz {

namespace {

// 0x80..0x9F; the unassigned bytes keep their own value.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char16_t Cp1252ToUnicode(unsigned char c) {
  if (c >= 0x80 && c < 0xA0) return kHigh[c - 0x80];
  return c;
}

namespace {

// The bytes 0x80..0x9F by code point: every character of that range lies below U+2200
// (0 where the code point has no byte).
constexpr char32_t kReverseEnd = 0x2200;

struct ReverseTable {
  unsigned char byte[kReverseEnd] = {};
  ReverseTable() {
    for (int i = 0; i < 32; ++i) byte[kHigh[i]] = static_cast<unsigned char>(0x80 + i);
  }
};

}  // namespace

int UnicodeToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  static const ReverseTable reverse;
  if (cp >= kReverseEnd || reverse.byte[cp] == 0) return -1;
  return reverse.byte[cp];
}

std::u16string Cp1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out += Cp1252ToUnicode(static_cast<unsigned char>(c));
  return out;
}

std::string Utf16ToCp1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;  // a surrogate pair is one character, never representable
      out += '?';
      continue;
    }
    int b = UnicodeToCp1252(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

}  // namespace dz
