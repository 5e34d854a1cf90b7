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

// The UTF-8 form of every byte from 0x80 on: its length, then its bytes.
struct Utf8Forms {
  unsigned char form[128][4];
  Utf8Forms() {
    for (int b = 0x80; b < 0x100; ++b) {
      std::string u;
      AppendUtf8(u, Cp1252ToUnicode(static_cast<unsigned char>(b)));
      form[b - 0x80][0] = static_cast<unsigned char>(u.size());
      std::memcpy(form[b - 0x80] + 1, u.data(), u.size());
    }
  }
};

const Utf8Forms& Forms() {
  static const Utf8Forms f;
  return f;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  const auto& forms = Forms().form;
  std::string out;
  out.resize(text.size() * 3);  // the most a byte takes
  char* o = out.data();
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const size_t run = AsciiRun(p, end);
    if (run) {
      std::memcpy(o, p, run);
      o += run;
      p += run;
      if (p == end) break;
    }
    const unsigned char* f = forms[static_cast<unsigned char>(*p++) - 0x80];
    std::memcpy(o, f + 1, 3);
    o += f[0];
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.resize(text.size());  // every character becomes one byte, every bad byte one '?'
  char* o = out.data();
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const size_t run = AsciiRun(text.data() + i, text.data() + n);
    if (run) {
      std::memcpy(o, text.data() + i, run);
      o += run;
      i += run;
      if (i == n) break;
    }
    auto c = static_cast<unsigned char>(text[i]);
    // U+00A0 to U+00FF, the bytes of the same value: most of what is not ASCII.
    if ((c == 0xC2 || c == 0xC3) && i + 1 < n) {
      const auto cc = static_cast<unsigned char>(text[i + 1]);
      const unsigned cp = ((c & 0x1Fu) << 6) | (cc & 0x3Fu);
      if ((cc & 0xC0) == 0x80 && cp >= 0xA0) {
        *o++ = static_cast<char>(cp);
        i += 2;
        continue;
      }
    }
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
    if (!ok) {
      *o++ = '?';
      ++i;
      continue;
    }
    int b = UnicodeToCp1252(cp);
    *o++ = b < 0 ? '?' : static_cast<char>(b);
    i += static_cast<size_t>(len);
  }
  out.resize(static_cast<size_t>(o - out.data()));
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
