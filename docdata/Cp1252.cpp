#include "docdata/Cp1252.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace dz {

namespace {

struct CaseTables {
  std::array<unsigned char, 256> lower{};
  std::array<unsigned char, 256> upper{};
  CaseTables() {
    for (int i = 0; i < 256; ++i) lower[i] = upper[i] = static_cast<unsigned char>(i);
    auto pair = [this](int up, int low) {
      lower[up] = static_cast<unsigned char>(low);
      upper[low] = static_cast<unsigned char>(up);
    };
    for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7) pair(c, c + 32);
    pair(0x8A, 0x9A);
    pair(0x8C, 0x9C);
    pair(0x8E, 0x9E);
    pair(0x9F, 0xFF);
  }
};

const CaseTables& Cases() {
  static const CaseTables t;
  return t;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

namespace {

// Length of the run of ASCII bytes at the start of [p, end): whole words at a time, as
// the positions text is nearly all ASCII.
size_t AsciiRun(const char* p, const char* end) {
  const char* start = p;
  while (end - p >= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if (w & 0x8080808080808080ull) break;
    p += 8;
  }
  while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
  return static_cast<size_t>(p - start);
}

// The UTF-8 form of every byte value: its bytes (up to three, padded to four so that a
// form can be stored with one four-byte copy) and their count.
struct Utf8Forms {
  unsigned char form[256][4] = {};
  unsigned char length[256] = {};
  Utf8Forms() {
    for (int b = 0; b < 0x100; ++b) {
      std::string u;
      AppendUtf8(u, Cp1252ToUnicode(static_cast<unsigned char>(b)));
      length[b] = static_cast<unsigned char>(u.size());
      std::memcpy(form[b], u.data(), u.size());
    }
  }
};

const Utf8Forms& Forms() {
  static const Utf8Forms f;
  return f;
}

// Decoding: the byte of every code point of up to three UTF-8 bytes ('?' where
// Windows-1252 has none), and the leading bytes the fast path may decide (not the
// continuation bytes, not the leads 0xC0, 0xC1 and 0xE0, which may start overlong forms,
// nor the four-byte leads, whose code points have no byte).
struct DecodeTables {
  char byte[0x10000];
  unsigned char fast[256] = {};  // 1 where the fast path may decide
  DecodeTables() {
    std::memset(byte, '?', sizeof byte);
    for (int b = 0; b < 0x100; ++b) {
      const char32_t cp = Cp1252ToUnicode(static_cast<unsigned char>(b));
      // The C1 controls without a byte of their own stay '?'.
      if (UnicodeToCp1252(cp) == b) byte[cp] = static_cast<char>(b);
    }
    for (int c = 0; c < 0x80; ++c) fast[c] = 1;
    for (int c = 0xC2; c < 0xF0; ++c) fast[c] = c != 0xE0;
  }
};

const DecodeTables& Decoding() {
  static const DecodeTables t;
  return t;
}

// One character at text[i] the careful way: its byte, and how many bytes it took.
char DecodeOne(std::string_view text, size_t i, size_t& taken) {
  const size_t n = text.size();
  auto c = static_cast<unsigned char>(text[i]);
  taken = 1;
  if (c < 0x80) return static_cast<char>(c);
  int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
  bool ok = len != 0 && i + len <= n;
  for (int k = 1; ok && k < len; ++k) {
    auto cc = static_cast<unsigned char>(text[i + k]);
    if ((cc & 0xC0) != 0x80)
      ok = false;
    else
      cp = (cp << 6) | (cc & 0x3F);
  }
  if (ok && ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)))
    ok = false;  // overlong form
  if (!ok) return '?';
  taken = static_cast<size_t>(len);
  int b = UnicodeToCp1252(cp);
  return b < 0 ? '?' : static_cast<char>(b);
}

bool AsciiWord(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return (w & 0x8080808080808080ull) == 0;
}

}  // namespace

size_t Cp1252ToUtf8Size(std::string_view text) {
  const unsigned char* length = Forms().length;
  const char* p = text.data();
  const char* end = p + text.size();
  size_t n = 0;
  while (end - p >= 8) {
    if (AsciiWord(p)) {
      n += 8;
    } else {
      for (int k = 0; k < 8; ++k) n += length[static_cast<unsigned char>(p[k])];
    }
    p += 8;
  }
  for (; p < end; ++p) n += length[static_cast<unsigned char>(*p)];
  return n;
}

char* Cp1252ToUtf8Into(std::string_view text, char* out) {
  const Utf8Forms& t = Forms();
  const char* p = text.data();
  const char* end = p + text.size();
  char* o = out;
  // Each byte gives at least one: with 16 bytes to go there are at least 9 bytes of room
  // behind every byte of a block, so its form may be stored four bytes wide.
  while (end - p >= 16) {
    if (AsciiWord(p)) {
      std::memcpy(o, p, 8);
      o += 8;
    } else {
      for (int k = 0; k < 8; ++k) {
        const auto b = static_cast<unsigned char>(p[k]);
        std::memcpy(o, t.form[b], 4);
        o += t.length[b];
      }
    }
    p += 8;
  }
  for (; p < end; ++p) {
    const auto b = static_cast<unsigned char>(*p);
    std::memcpy(o, t.form[b], t.length[b]);
    o += t.length[b];
  }
  return o;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.resize(Cp1252ToUtf8Size(text));
  Cp1252ToUtf8Into(text, out.data());
  return out;
}

char* Utf8ToCp1252Into(std::string_view text, char* out) {
  const DecodeTables& t = Decoding();
  const char* p = text.data();
  char* o = out;
  size_t i = 0;
  const size_t n = text.size();
  // Four bytes at a time hold any sequence of one to three bytes: the code point of each
  // possible length is computed and the one the leading byte asks for taken, without a
  // branch on the length (in binary data it changes at random). The rest, and whatever
  // the fast path leaves undecided, goes the careful way.
  while (n - i >= 8) {
    if (AsciiWord(p + i)) {
      std::memcpy(o, p + i, 8);
      o += 8;
      i += 8;
      continue;
    }
    for (int k = 0; k < 4; ++k) {
      uint32_t w;
      std::memcpy(&w, p + i, 4);
      const uint32_t c = w & 0xFF, b1 = (w >> 8) & 0xFF, b2 = (w >> 16) & 0xFF;
      // The length from the leading byte by arithmetic: it is on the path from one
      // character to the next, where a table lookup would add its latency.
      const uint32_t len = 1 + (c >= 0xC0) + (c >= 0xE0);
      const uint32_t cp[4] = {0, c, ((c & 0x1F) << 6) | (b1 & 0x3F),
                              ((c & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F)};
      // Whether the sequence is whole, looked up rather than tested length by length: a
      // branch per length would be guessed wrong half the time. Bit (len, tail1, tail2)
      // of the mask: one byte always, two with a continuation byte, three with two.
      const uint32_t tail1 = (b1 & 0xC0) == 0x80, tail2 = (b2 & 0xC0) == 0x80;
      if ((((0x8CF0u >> (len << 2 | tail1 << 1 | tail2)) & t.fast[c]) & 1) == 0) {
        size_t taken = 1;
        *o++ = DecodeOne(text, i, taken);
        i += taken;
        if (n - i < 4) break;
        continue;
      }
      *o++ = t.byte[cp[len]];
      i += len;
      if (n - i < 4) break;
    }
  }
  while (i < n) {
    size_t taken = 1;
    *o++ = DecodeOne(text, i, taken);
    i += taken;
  }
  return o;
}

void Utf8ToCp1252(std::string_view text, std::string& out) {
  out.resize(text.size());  // every character becomes one byte, every bad byte one '?'
  out.resize(static_cast<size_t>(Utf8ToCp1252Into(text, out.data()) - out.data()));
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  Utf8ToCp1252(text, out);
  return out;
}

bool IsAscii(std::string_view text) {
  return AsciiRun(text.data(), text.data() + text.size()) == text.size();
}

unsigned char LowerChar(unsigned char c) {
  return Cases().lower[c];
}
const unsigned char* LowerTable() {
  return Cases().lower.data();
}
unsigned char UpperChar(unsigned char c) {
  return Cases().upper[c];
}

std::string LowerCase(std::string_view text) {
  const auto& t = Cases().lower;
  std::string out(text);
  for (auto& c : out) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
  return out;
}

std::string UpperCase(std::string_view text) {
  const auto& t = Cases().upper;
  std::string out(text);
  for (auto& c : out) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto& t = Cases().upper;
  for (size_t i = 0; i < a.size(); ++i)
    if (t[static_cast<unsigned char>(a[i])] != t[static_cast<unsigned char>(b[i])]) return false;
  return true;
}

}  // namespace dz
