#include "docdata/JsonReader.h"

#include <cstdint>
#include <cstdio>
#include <limits>

#include "docdata/Exception.h"
#include "docdata/NumberFormat.h"

namespace dz {

namespace {

inline bool Blank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && Blank(s[b])) ++b;
  while (e > b && Blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameAsciiText(std::string_view a, std::string_view lowerLiteral) {
  if (a.size() != lowerLiteral.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != lowerLiteral[i]) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False at a bad hexadecimal digit in a \u escape.
bool UnescapeInto(std::string_view s, std::string& out) {
  out.clear();
  out.reserve(s.size());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    char c = s[i];
    if (c != '\\') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 >= n) break;  // a backslash at the very end is dropped
    char d = s[i + 1];
    switch (d) {
      case '"':
      case '/':
      case '\\':
        out += d;
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        if (n - (i + 2) < 4) {
          i += 2;  // too short for a code: the rest is plain text
          continue;
        }
        unsigned code = 0;
        for (size_t k = i + 2; k < i + 6; ++k) {
          int h = HexDigit(s[k]);
          if (h < 0) return false;
          code = code * 16 + static_cast<unsigned>(h);
        }
        // One byte per code: the euro sign is the one code above 0xFF that Windows-1252
        // writers send; everything else keeps its low byte.
        out += static_cast<char>(code == 0x20AC ? 0x80 : (code & 0xFF));
        i += 6;
        continue;
      }
      default:
        ++i;  // unknown escape: drop the backslash, keep the character
        continue;
    }
    i += 2;
  }
  return true;
}

// --- number conversion ----------------------------------------------------------------

// Powers of ten held exactly by long double, for the exact fast conversion below.
constexpr int kMantissaBits = std::numeric_limits<long double>::digits;
constexpr int ExactPow10Limit() {
  // largest n with 5^n < 2^kMantissaBits
  int n = 0;
  unsigned __int128 p = 1;
  const unsigned __int128 limit = kMantissaBits >= 64
                                      ? (static_cast<unsigned __int128>(1) << 64)
                                      : (static_cast<unsigned __int128>(1) << kMantissaBits);
  while (p * 5 < limit) {
    p *= 5;
    ++n;
  }
  return n;
}
constexpr int kExactPow10 = ExactPow10Limit();
constexpr uint64_t kMaxExactMantissa =
    kMantissaBits >= 64 ? UINT64_MAX : (uint64_t{1} << kMantissaBits);

struct Pow10Table {
  long double v[kExactPow10 + 1];
  Pow10Table() {
    v[0] = 1;
    for (int i = 1; i <= kExactPow10; ++i) v[i] = v[i - 1] * 10;
  }
};
const Pow10Table& Pow10() {
  static const Pow10Table t;
  return t;
}

// The number grammar of the dialect: optional sign, digits, optional "." and fraction
// (at least one digit in all), optional exponent with at least one digit. Short numbers
// are converted exactly here (one correctly rounded operation on exact operands, the
// same result as the general conversion); the rest go through TextToFloat.
bool ReadNumber(const char* b, const char* e, long double& out) {
  const char* i = b;
  bool negative = false;
  if (i < e && (*i == '+' || *i == '-')) negative = *i++ == '-';
  uint64_t m = 0;
  int significant = 0, digits = 0, scale = 0;
  bool exact = true;
  for (; i < e && *i >= '0' && *i <= '9'; ++i, ++digits) {
    if (m == 0 && *i == '0') continue;
    if (++significant > 19) exact = false;
    if (exact) m = m * 10 + static_cast<unsigned>(*i - '0');
  }
  if (i < e && *i == '.') {
    for (++i; i < e && *i >= '0' && *i <= '9'; ++i, ++digits) {
      --scale;
      if (m == 0 && *i == '0') continue;
      if (++significant > 19) exact = false;
      if (exact) m = m * 10 + static_cast<unsigned>(*i - '0');
    }
  }
  if (digits == 0) return false;
  if (i < e && (*i == 'e' || *i == 'E')) {
    ++i;
    bool negExp = false;
    if (i < e && (*i == '+' || *i == '-')) negExp = *i++ == '-';
    int ed = 0, ev = 0;
    for (; i < e && *i >= '0' && *i <= '9'; ++i, ++ed) {
      if (ev < 100000) ev = ev * 10 + (*i - '0');
    }
    if (ed == 0) return false;
    scale += negExp ? -ev : ev;
  }
  if (i != e) return false;
  if (exact && m == 0) {
    out = negative ? -0.0L : 0.0L;
    return true;
  }
  if (exact && m <= kMaxExactMantissa && scale >= -kExactPow10 && scale <= kExactPow10) {
    long double v = static_cast<long double>(m);
    v = scale >= 0 ? v * Pow10().v[scale] : v / Pow10().v[-scale];
    out = negative ? -v : v;
    return true;
  }
  return TextToFloat(std::string_view(b, static_cast<size_t>(e - b)), out, '.');
}

// --- the splitting reader -------------------------------------------------------------

size_t SkipString(std::string_view s, size_t i) {
  const size_t n = s.size();
  for (++i; i < n;) {
    char c = s[i];
    if (c == '\\') {
      i += 2;  // the backslash hides the next character
      continue;
    }
    if (c == '"') return i + 1;
    ++i;
  }
  return n;
}

// Past the nested part opened at s[i] (a quote, "[" or "{"); an unclosed part runs to the
// end. Iterative, so that deep brackets cannot exhaust the stack.
size_t SkipNested(std::string_view s, size_t i) {
  if (s[i] == '"') return SkipString(s, i);
  std::string closers(1, s[i] == '[' ? ']' : '}');
  const size_t n = s.size();
  for (++i; i < n;) {
    char c = s[i];
    if (c == '"') {
      i = SkipString(s, i);
      continue;
    }
    if (c == '[' || c == '{') {
      closers.push_back(c == '[' ? ']' : '}');
    } else if (c == closers.back()) {
      closers.pop_back();
      if (closers.empty()) return i + 1;
    }
    ++i;
  }
  return n;
}

// Trimmed pieces between the separators outside nested parts; inner pieces are kept even
// when empty, the last one only when it is not.
std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> pieces;
  size_t start = 0, i = 0;
  const size_t n = s.size();
  while (i < n) {
    char c = s[i];
    if (c == '"' || c == '[' || c == '{') {
      i = SkipNested(s, i);
    } else if (c == sep) {
      pieces.push_back(Trim(s.substr(start, i - start)));
      start = ++i;
    } else {
      ++i;
    }
  }
  std::string_view last = Trim(s.substr(start < n ? start : n));
  if (!last.empty()) pieces.push_back(last);
  return pieces;
}

void SplitValue(TJsonValue& v, std::string_view piece, int depth);

void SplitObject(TJsonObject& o, std::string_view text, int depth) {
  std::string_view t = Trim(text);
  if (t.size() < 2 || t.front() != '{' || t.back() != '}') o.RaiseParseError(t);
  for (std::string_view piece : Split(Trim(t.substr(1, t.size() - 2)), ',')) {
    if (piece.empty()) o.RaiseParseError(t);
    TJsonPair& pair = o.Add(std::string());
    auto parts = Split(piece, ':');
    if (parts.size() != 2) pair.RaiseParseError(piece);
    std::string_view name = parts[0];
    if (name.size() < 2 || name.front() != '"' || name.back() != '"') pair.RaiseParseError(piece);
    pair.SetName(JsonUnescape(name.substr(1, name.size() - 2)));
    SplitValue(pair.Value(), parts[1], depth);
  }
}

void SplitArray(TJsonArray& a, std::string_view text, int depth) {
  std::string_view t = Trim(text);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') a.RaiseParseError(t);
  for (std::string_view piece : Split(Trim(t.substr(1, t.size() - 2)), ',')) {
    if (piece.empty()) a.RaiseParseError(t);
    SplitValue(a.Add(), piece, depth);
  }
}

void SplitValue(TJsonValue& v, std::string_view piece, int depth) {
  const size_t n = piece.size();
  if (n >= 2) {
    const char f = piece.front(), b = piece.back();
    if ((f == '{' && b == '}') || (f == '[' && b == ']')) {
      if (depth >= kJsonMaxDepth) v.RaiseParseError(piece);
      if (f == '{')
        SplitObject(v.SetObject(), piece, depth + 1);
      else
        SplitArray(v.SetArray(), piece, depth + 1);
      return;
    }
    if (f == '"' && b == '"') {
      v.SetString(JsonUnescape(piece.substr(1, n - 2)));
      return;
    }
  }
  if (SameAsciiText(piece, "null")) {
    v.SetNull();
  } else if (SameAsciiText(piece, "true")) {
    v.SetBoolean(true);
  } else if (SameAsciiText(piece, "false")) {
    v.SetBoolean(false);
  } else {
    long double x;
    if (!ReadNumber(piece.data(), piece.data() + n, x)) v.RaiseParseError(piece);
    v.SetNumber(x);
  }
}

// --- the single-pass reader -----------------------------------------------------------

class SinglePass {
 public:
  explicit SinglePass(std::string_view text) : p_(text.data()), e_(text.data() + text.size()) {}

  bool Root(TFastJSON& root) {
    SkipBlanks();
    if (p_ == e_) return false;
    if (*p_ == '{') {
      ++p_;
      if (!ObjectBody(root.SetObject(), 1)) return false;
    } else if (*p_ == '[') {
      ++p_;
      if (!ArrayBody(root.SetArray(), 1)) return false;
    } else {
      return false;
    }
    SkipBlanks();
    return p_ == e_;
  }

 private:
  void SkipBlanks() {
    while (p_ < e_ && Blank(*p_)) ++p_;
  }

  // After "{": pairs up to the closing "}", one trailing comma allowed.
  bool ObjectBody(TJsonObject& o, int depth) {
    SkipBlanks();
    if (p_ < e_ && *p_ == '}') {
      ++p_;
      return true;
    }
    for (;;) {
      if (p_ == e_ || *p_ != '"') return false;
      std::string name;
      if (!String(name)) return false;
      SkipBlanks();
      if (p_ == e_ || *p_ != ':') return false;
      ++p_;
      SkipBlanks();
      if (!Value(o.Add(std::move(name)).Value(), depth)) return false;
      SkipBlanks();
      if (p_ == e_) return false;
      if (*p_ == '}') {
        ++p_;
        return true;
      }
      if (*p_ != ',') return false;
      ++p_;
      SkipBlanks();
      if (p_ < e_ && *p_ == '}') {
        ++p_;
        return true;
      }
    }
  }

  bool ArrayBody(TJsonArray& a, int depth) {
    SkipBlanks();
    if (p_ < e_ && *p_ == ']') {
      ++p_;
      return true;
    }
    for (;;) {
      if (!Value(a.Add(), depth)) return false;
      SkipBlanks();
      if (p_ == e_) return false;
      if (*p_ == ']') {
        ++p_;
        return true;
      }
      if (*p_ != ',') return false;
      ++p_;
      SkipBlanks();
      if (p_ < e_ && *p_ == ']') {
        ++p_;
        return true;
      }
    }
  }

  // At the first character of a value.
  bool Value(TJsonValue& v, int depth) {
    if (p_ == e_) return false;
    const char c = *p_;
    if (c == '{' || c == '[') {
      if (depth >= kJsonMaxDepth) return false;
      ++p_;
      return c == '{' ? ObjectBody(v.SetObject(), depth + 1) : ArrayBody(v.SetArray(), depth + 1);
    }
    if (c == '"') {
      std::string s;
      if (!String(s)) return false;
      v.SetString(std::move(s));
      return true;
    }
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      const char* b = p_;
      while (p_ < e_ && ((*p_ >= 'a' && *p_ <= 'z') || (*p_ >= 'A' && *p_ <= 'Z'))) ++p_;
      std::string_view w(b, static_cast<size_t>(p_ - b));
      if (SameAsciiText(w, "null"))
        v.SetNull();
      else if (SameAsciiText(w, "true"))
        v.SetBoolean(true);
      else if (SameAsciiText(w, "false"))
        v.SetBoolean(false);
      else
        return false;
      return true;
    }
    const char* b = p_;
    while (p_ < e_ && ((*p_ >= '0' && *p_ <= '9') || *p_ == '.' || *p_ == '-' || *p_ == '+' ||
                       *p_ == 'e' || *p_ == 'E'))
      ++p_;
    if (p_ == b) return false;
    long double x;
    if (!ReadNumber(b, p_, x)) return false;
    v.SetNumber(x);
    return true;
  }

  // At the opening quote: the string up to the next quote not hidden by a backslash.
  bool String(std::string& out) {
    const char* b = ++p_;
    bool escapes = false;
    for (;;) {
      if (p_ == e_) return false;
      const char c = *p_;
      if (c == '"') break;
      if (c == '\\') {
        if (e_ - p_ < 2) return false;
        escapes = true;
        p_ += 2;
      } else {
        ++p_;
      }
    }
    std::string_view inside(b, static_cast<size_t>(p_ - b));
    ++p_;
    if (!escapes) {
      out.assign(inside);
      return true;
    }
    return UnescapeInto(inside, out);
  }

  const char* p_;
  const char* e_;
};

void Describe(const TJsonValue& v, std::string& out);

void DescribeText(std::string_view s, std::string& out) {
  out += '"';
  for (unsigned char c : s) {
    if (c == '"' || c == '\\' || c < 32 || c >= 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void DescribeObject(const TJsonObject& o, std::string& out) {
  out += '{';
  for (size_t i = 0; i < o.Count(); ++i) {
    if (i) out += ',';
    DescribeText(o.Pair(i).Name(), out);
    out += ':';
    Describe(o.Pair(i).Value(), out);
  }
  out += '}';
}

void DescribeArray(const TJsonArray& a, std::string& out) {
  out += '[';
  for (size_t i = 0; i < a.Count(); ++i) {
    if (i) out += ',';
    Describe(a.Item(static_cast<int64_t>(i)), out);
  }
  out += ']';
}

void Describe(const TJsonValue& v, std::string& out) {
  switch (v.Kind()) {
    case jvNone:
      out += "none";
      break;
    case jvNull:
      out += "null";
      break;
    case jvBoolean:
      out += v.Boolean() ? "true" : "false";
      break;
    case jvString:
      DescribeText(v.Text(), out);
      break;
    case jvNumber: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%La", v.Number());
      out += buf;
      break;
    }
    case jvObject:
      DescribeObject(*v.ObjectValue(), out);
      break;
    case jvArray:
      DescribeArray(*v.ArrayValue(), out);
      break;
  }
}

}  // namespace

std::string JsonUnescape(std::string_view inside) {
  std::string out;
  if (!UnescapeInto(inside, out)) throw Exception("InvalidHexNumber");
  return out;
}

void ParseBySplitting(std::string_view text, TFastJSON& root) {
  std::string_view t = Trim(text);
  if (!t.empty() && t.front() == '{')
    SplitObject(root.SetObject(), t, 1);
  else if (!t.empty() && t.front() == '[')
    SplitArray(root.SetArray(), t, 1);
  else
    root.RaiseParseError(t);
}

bool ParseSinglePass(std::string_view text, TFastJSON& root) {
  return SinglePass(text).Root(root);
}

std::string DescribeJsonTree(const TFastJSON& root) {
  std::string out;
  if (root.Object())
    DescribeObject(*root.Object(), out);
  else if (root.Array())
    DescribeArray(*root.Array(), out);
  else
    out = "empty";
  return out;
}

}  // namespace dz
