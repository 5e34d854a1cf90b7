#include "docdata/Cp1252.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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
  // By a character's first two bytes (the first in the low half): the byte of a one-byte
  // character, or of a whole two-byte one the fast path may decide; -1 for the rest.
  int16_t pair[0x10000];
  DecodeTables() {
    std::memset(byte, '?', sizeof byte);
    for (int b = 0; b < 0x100; ++b) {
      const char32_t cp = Cp1252ToUnicode(static_cast<unsigned char>(b));
      // The C1 controls without a byte of their own stay '?'.
      if (UnicodeToCp1252(cp) == b) byte[cp] = static_cast<char>(b);
    }
    for (int c = 0; c < 0x80; ++c) fast[c] = 1;
    for (int c = 0xC2; c < 0xF0; ++c) fast[c] = c != 0xE0;
    for (int w = 0; w < 0x10000; ++w) {
      const int c = w & 0xFF, b1 = w >> 8;
      pair[w] = -1;
      if (c < 0x80)
        pair[w] = static_cast<int16_t>(c);
      else if (fast[c] && c < 0xE0 && (b1 & 0xC0) == 0x80)
        pair[w] = static_cast<unsigned char>(byte[((c & 0x1F) << 6) | (b1 & 0x3F)]);
    }
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

namespace {

// Eight ASCII bytes or one character of `text` at `i`; needs eight bytes left. One- and
// two-byte characters (most of them, in binary data too) are looked up by their first
// two bytes; whole three-byte ones the fast path may decide are worked out; the rest goes
// the careful way.
inline void DecodeStep(const DecodeTables& t, std::string_view text, size_t& i, char*& o) {
  const char* p = text.data() + i;
  if (AsciiWord(p)) {
    std::memcpy(o, p, 8);
    o += 8;
    i += 8;
    return;
  }
  uint32_t w;
  std::memcpy(&w, p, 4);
  const uint32_t c = w & 0xFF;
  const int one = t.pair[w & 0xFFFF];
  if (one >= 0) {
    *o++ = static_cast<char>(one);
    // The length from the leading byte by arithmetic: it is on the path from one
    // character to the next, where the lookup would add its latency.
    i += 1 + (c >= 0xC0);
  } else if ((w & 0xC0C0F0) == 0x8080E0 && t.fast[c]) {
    *o++ = t.byte[((c & 0x0F) << 12) | ((w >> 2) & 0xFC0) | ((w >> 16) & 0x3F)];
    i += 3;
  } else {
    size_t taken = 1;
    *o++ = DecodeOne(text, i, taken);
    i += taken;
  }
}

// `text` from `i` to its end.
char* DecodeRest(const DecodeTables& t, std::string_view text, size_t i, char* o) {
  const size_t n = text.size();
  while (n - i >= 8) DecodeStep(t, text, i, o);
  while (i < n) {
    size_t taken = 1;
    *o++ = DecodeOne(text, i, taken);
    i += taken;
  }
  return o;
}

#if defined(__x86_64__) || defined(__i386__)

// For each set of eight lanes (a bit each), the indices of the set ones in order, then
// lanes that give zero: a shuffle that closes up the chosen bytes.
struct CloseUpTable {
  alignas(16) uint8_t index[256][8];
  uint8_t count[256];
  CloseUpTable() {
    for (int m = 0; m < 256; ++m) {
      int k = 0;
      for (int b = 0; b < 8; ++b)
        if (m >> b & 1) index[m][k++] = static_cast<uint8_t>(b);
      count[m] = static_cast<uint8_t>(k);
      while (k < 8) index[m][k++] = 0x80;
    }
  }
};

const CloseUpTable& CloseUp() {
  static const CloseUpTable t;
  return t;
}

// Sixteen bytes at a time while nineteen are left: every character starting among them
// whose form the fast path of DecodeStep would decide. ASCII and the two-byte forms of
// U+00A0 to U+00FF (nearly all of any text, and most of binary data sent as text) are
// worked out side by side; the other characters there (the Windows-1252 letters and signs
// beyond Latin-1, whatever has no byte) are looked up one by one. A block holding anything
// else (a broken or overlong form, a four-byte one) goes through DecodeStep. Starts at a
// character's first byte and ends at one; returns the end of what was written.
[[gnu::target("ssse3,popcnt")]] char* DecodeBlocks(const DecodeTables& t, std::string_view text,
                                                   size_t& i, char* o) {
  const CloseUpTable& closeUp = CloseUp();
  const char* const base = text.data();
  const size_t n = text.size();
  const __m128i k3F = _mm_set1_epi8(0x3F), k80 = _mm_set1_epi8(static_cast<char>(0x80)),
                kC0 = _mm_set1_epi8(static_cast<char>(0xC0)),
                kE0 = _mm_set1_epi8(static_cast<char>(0xE0)),
                kF0 = _mm_set1_epi8(static_cast<char>(0xF0)),
                kFE = _mm_set1_epi8(static_cast<char>(0xFE)),
                kC2 = _mm_set1_epi8(static_cast<char>(0xC2)), k03 = _mm_set1_epi8(3);
  auto mask = [](__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); };
  auto under = [](__m128i v, __m128i m, __m128i value) {
    return _mm_cmpeq_epi8(_mm_and_si128(v, m), value);
  };
  while (n - i >= 19) {
    const char* p = base + i;
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (mask(v0) == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v0);
      o += 16;
      i += 16;
      continue;
    }
    // The continuation bytes of the last characters may reach two bytes beyond the block.
    // Worked out from the two bytes alone, so that the next block need not wait for this.
    const auto b14 = static_cast<unsigned char>(p[14]), b15 = static_cast<unsigned char>(p[15]);
    const size_t next =
        i + 16 + ((b15 & 0xF0) == 0xE0 ? 2 : ((b15 & 0xE0) == 0xC0) | ((b14 & 0xF0) == 0xE0));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
    // Lane j: the byte at j; its next one; the one after that.
    const unsigned cont = mask(under(v0, kC0, k80)), cont1 = mask(under(v1, kC0, k80)),
                   cont2 = mask(under(v2, kC0, k80));
    const unsigned lead2 = mask(under(v0, kE0, kC0)), lead3 = mask(under(v0, kF0, kE0));
    // Leads that may start overlong forms (0xC0, 0xC1, 0xE0), four-byte leads and beyond.
    const unsigned odd = mask(_mm_or_si128(
        _mm_or_si128(under(v0, kFE, kC0), _mm_cmpeq_epi8(v0, kE0)), under(v0, kF0, kF0)));
    // Every lead followed by its continuation bytes, every continuation byte in the block
    // one of them.
    const bool whole = odd == 0 && (lead2 & ~cont1) == 0 && (lead3 & ~(cont1 & cont2)) == 0 &&
                       cont == (((lead2 | lead3) << 1 | lead3 << 2) & 0xFFFF);
    if (!whole) {
      // A step takes at most eight bytes, and at least eight are left after each.
      for (const size_t end = i + 8; i < end;) DecodeStep(t, text, i, o);
      continue;
    }
    const unsigned starts = ~cont & 0xFFFF;
    // A one-byte character is itself; a two-byte one led by 0xC2 or 0xC3 is U+0080 to
    // U+00FF, whose low eight bits are its lead's last two and its second byte's last six.
    const __m128i ascii = _mm_cmpgt_epi8(v0, _mm_set1_epi8(-1));
    const __m128i two =
        _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v0, k03), 6), _mm_and_si128(v1, k3F));
    const __m128i value = _mm_or_si128(_mm_and_si128(ascii, v0), _mm_andnot_si128(ascii, two));
    // Looked up one by one: U+0080 to U+009F (only five of them have a byte), whatever is
    // led by 0xC4 to 0xDF, the three-byte forms.
    const unsigned latin = mask(under(v0, kFE, kC2));
    const unsigned control = mask(_mm_cmpeq_epi8(v0, kC2)) & mask(under(v1, kE0, k80));
    unsigned special = ((lead2 & (~latin | control)) | lead3) & starts;
    const unsigned low = starts & 0xFF, high = starts >> 8;
    const __m128i pickLow = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(closeUp.index[low]));
    const __m128i pickHigh = _mm_add_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(closeUp.index[high])), _mm_set1_epi8(8));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(value, pickLow));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + closeUp.count[low]),
                     _mm_shuffle_epi8(value, pickHigh));
    // Most blocks hold two such characters at most: those are looked up without a branch
    // (a missing one is read at lane 16, behind the block, and written behind its output,
    // where what follows overwrites it).
    auto lookUp = [&](unsigned j) {
      const auto* c = reinterpret_cast<const unsigned char*>(p + j);
      const char three = t.byte[(c[0] & 0x0F) << 12 | (c[1] & 0x3F) << 6 | (c[2] & 0x3F)];
      const char two = static_cast<char>(t.pair[c[0] | c[1] << 8]);
      o[__builtin_popcount(starts & ((1u << j) - 1))] = c[0] >= 0xE0 ? three : two;
    };
    for (int k = 0; k < 2; ++k) {
      lookUp(static_cast<unsigned>(__builtin_ctz(special | 0x10000)));
      special &= special - 1;
    }
    for (; special != 0; special &= special - 1)
      lookUp(static_cast<unsigned>(__builtin_ctz(special)));
    o += closeUp.count[low] + closeUp.count[high];
    i = next;
  }
  return o;
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
  return has;
}

#endif

}  // namespace

char* Utf8ToCp1252Into(std::string_view text, char* out) {
  const DecodeTables& t = Decoding();
#if defined(__x86_64__) || defined(__i386__)
  if (HasSsse3()) {
    size_t i = 0;
    char* o = DecodeBlocks(t, text, i, out);
    return DecodeRest(t, text, i, o);
  }
#endif
  // Each step waits for the one before it to know where the next character starts, so a
  // longer text is decoded as four stretches side by side. A stretch begins at a byte that
  // is no continuation byte: reading the text from its start reaches every such byte (a
  // character takes continuation bytes only, a bad byte just itself), so the stretches
  // give exactly what the whole text gives. Each writes no more than it reads, at the
  // place of its own bytes; the pieces are closed up afterwards. (The four are spelt out:
  // kept in an array, their cursors would go through memory at every step.)
  constexpr size_t kShortest = 64;
  if (text.size() < 4 * kShortest) return DecodeRest(t, text, 0, out);
  size_t begin[5] = {0, 0, 0, 0, text.size()};
  for (size_t s = 1; s < 4; ++s) {
    size_t at = std::max(begin[s - 1], text.size() / 4 * s);
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    begin[s] = at;
  }
  std::string_view part[4];
  for (size_t s = 0; s < 4; ++s) part[s] = text.substr(begin[s], begin[s + 1] - begin[s]);
  const std::string_view a = part[0], b = part[1], c = part[2], d = part[3];
  size_t ia = 0, ib = 0, ic = 0, id = 0;
  char *oa = out, *ob = out + begin[1], *oc = out + begin[2], *od = out + begin[3];
  for (;;) {
    // A step takes at most eight bytes: this many rounds need no check.
    const size_t rounds =
        std::min(std::min(a.size() - ia, b.size() - ib), std::min(c.size() - ic, d.size() - id)) /
        8;
    if (rounds == 0) break;
    for (size_t r = 0; r < rounds; ++r) {
      DecodeStep(t, a, ia, oa);
      DecodeStep(t, b, ib, ob);
      DecodeStep(t, c, ic, oc);
      DecodeStep(t, d, id, od);
    }
  }
  const char* const end[4] = {DecodeRest(t, a, ia, oa), DecodeRest(t, b, ib, ob),
                              DecodeRest(t, c, ic, oc), DecodeRest(t, d, id, od)};
  char* o = out;
  for (size_t s = 0; s < 4; ++s) {
    const size_t size = static_cast<size_t>(end[s] - (out + begin[s]));
    if (s > 0) std::memmove(o, out + begin[s], size);
    o += size;
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
