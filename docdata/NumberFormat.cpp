#include "docdata/NumberFormat.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "docdata/Cp1252.h"
#include "platform/Platform.h"

namespace dz {

namespace {

NumberFormat& Current() {
  static NumberFormat f;
  return f;
}

// The value of the "EURO" key as a boolean; `euro` stays as it is when the text is none.
void ReadEuroFlag(std::string value, bool& euro) {
  std::string v = UpperCase(value);
  while (!v.empty() && static_cast<unsigned char>(v.back()) <= ' ') v.pop_back();
  size_t s = 0;
  while (s < v.size() && static_cast<unsigned char>(v[s]) <= ' ') ++s;
  v.erase(0, s);
  long double num = 0;
  if (v == "TRUE" || v == "YES" || v == "ON")
    euro = true;
  else if (v == "FALSE" || v == "NO" || v == "OFF")
    euro = false;
  else if (TextToFloat(v, num, '.') && num == std::floor(num))
    euro = num != 0;
}

// Decimal digits of |value| rounded half away from zero, either to `decimals` places
// after the point (fixed) or to `sig` significant digits. The exact decimal expansion is
// taken at 18 significant digits first, which is what the extended type can hold.
struct Decimal {
  std::string digits;  // no leading zeros unless the value is 0 ("0")
  int exponent = 0;    // value = 0.d1d2d3... * 10^exponent
  bool negative = false;
  bool zero = true;
};

Decimal ToDecimal(long double value) {
  Decimal d;
  d.negative = std::signbit(value);
  long double a = std::fabs(value);
  if (a == 0) {
    d.digits = "0";
    return d;
  }
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 17);
  std::string s(buf, r.ptr);
  auto e = s.find('e');
  std::string mant = s.substr(0, e);
  int exp10 = std::atoi(s.c_str() + e + 1);
  for (char c : mant)
    if (c != '.') d.digits += c;
  d.exponent = exp10 + 1;
  d.zero = false;
  return d;
}

// Rounds the digit string to keep `keep` digits (keep may be <= 0), half away from zero.
void RoundDigits(Decimal& d, int keep) {
  if (d.zero) return;
  if (keep < 0) {
    d.digits = "0";
    d.zero = true;
    return;
  }
  if (static_cast<int>(d.digits.size()) <= keep) return;
  bool up = d.digits[static_cast<size_t>(keep)] >= '5';
  d.digits.resize(static_cast<size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') {
      d.digits[static_cast<size_t>(i)] = '0';
      --i;
    }
    if (i < 0) {
      d.digits.insert(d.digits.begin(), '1');
      d.exponent += 1;
    } else {
      d.digits[static_cast<size_t>(i)]++;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) {
    d.digits = "0";
    d.zero = true;
  }
}

constexpr long double kPow10[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,
                                  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L,
                                  1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L,
                                  1e24L, 1e25L, 1e26L, 1e27L};  // all exact in 64 bits

// a * 10^p rounded half away from zero to an integer, when that can be decided from one
// rounded multiplication: the product stays below 1e15, where the extended type resolves
// far finer than the 1e-3 band around .5 that is left to the exact path. The exact path
// rounds to 18 digits before it rounds to the target, which can only differ from direct
// rounding inside that band.
bool FastScaledRound(long double a, int p, uint64_t& out) {
  if (p < -27 || p > 27) return false;
  const long double x = p >= 0 ? a * kPow10[p] : a / kPow10[-p];
  if (!(x < 1e15L)) return false;
  const long double fl = std::floor(x);
  const long double frac = x - fl;
  if (std::fabs(frac - 0.5L) < 1e-3L) return false;
  out = static_cast<uint64_t>(fl) + (frac > 0.5L ? 1 : 0);
  return true;
}

// The decimal digits of |value| rounded to `sig` significant digits (sig <= 15) through
// the fast path; false where the exact path must decide.
bool FastSignificant(long double a, int sig, Decimal& d) {
  if (!(a >= 1e-5L && a < 1e15L)) return false;
  int e = static_cast<int>(std::floor(std::log10(a))) + 1;  // a = 0.ddd * 10^e, maybe off by one
  uint64_t m;
  if (!FastScaledRound(a, sig - e, m)) return false;
  const uint64_t lo = static_cast<uint64_t>(kPow10[sig - 1]), hi = lo * 10;
  if (m < lo || m >= hi) return false;  // the exponent guess was off, or rounding carried
  std::string digits = std::to_string(m);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  d.digits = std::move(digits);
  d.exponent = e;
  d.zero = false;
  return true;
}

}  // namespace

const NumberFormat& Fmt() {
  return Current();
}
void SetNumberFormat(const NumberFormat& format) {
  Current() = format;
}
NumberFormat DefaultNumberFormat() {
  return NumberFormat{};
}

NumberFormat NumberFormatFromIni(const std::string& iniPath) {
  NumberFormat f;
  std::string value;
  bool euro = true;
  // A missing or unreadable file, or one without the key, leaves the defaults.
  if (ReadIniValue(iniPath, "COUNTRY", "EURO", value)) ReadEuroFlag(value, euro);
  if (!euro) {
    f.DecimalSeparator = '.';
    f.ThousandSeparator = '\'';
  }
  return f;
}

const NumberFormat& InitNumberFormat(const std::string& folder) {
  SetNumberFormat(NumberFormatFromIni(folder + "REROVIR.INI"));
  return Fmt();
}

bool TextToFloat(std::string_view text, long double& out, char decimalSeparator) {
  out = 0;
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool neg = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) neg = text[i++] == '-';
  const size_t intStart = i;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
  const size_t intEnd = i;
  size_t fracStart = i, fracEnd = i;
  if (i < n && text[i] == decimalSeparator) {
    fracStart = ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    fracEnd = i;
  }
  if (intEnd == intStart && fracEnd == fracStart) return false;
  size_t expStart = i, expEnd = i;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    expStart = ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t digitsStart = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digitsStart) return false;
    expEnd = i;
  }
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return false;

  // Up to 19 digits without exponent: the digits as one integer divided by an exact power
  // of ten is the correctly rounded value.
  const size_t nint = intEnd - intStart, nfrac = fracEnd - fracStart;
  if (expStart == expEnd && nint + nfrac <= 19) {
    uint64_t m = 0;
    for (size_t k = intStart; k < intEnd; ++k) m = m * 10 + static_cast<uint64_t>(text[k] - '0');
    for (size_t k = fracStart; k < fracEnd; ++k) m = m * 10 + static_cast<uint64_t>(text[k] - '0');
    long double v = static_cast<long double>(m);
    if (nfrac > 0) v /= kPow10[nfrac];
    out = neg ? -v : v;
    return true;
  }

  // Everything else goes through strtold, which is correctly rounded on every library we
  // build with (std::from_chars for long double is not on every one). The text handed over
  // is digits and an exponent only: no decimal point, so the C locale (which the toolkit
  // sets from the environment) cannot change what is read.
  std::string buf;
  if (neg) buf += '-';
  buf.append(text.substr(intStart, nint));
  buf.append(text.substr(fracStart, nfrac));
  int64_t exponent = 0;
  if (expEnd > expStart) {
    size_t k = expStart;
    const bool negExp = text[k] == '-';
    if (text[k] == '+' || text[k] == '-') ++k;
    // Saturates far beyond any representable power, however many digits are written.
    for (; k < expEnd; ++k)
      exponent = std::min<int64_t>(exponent * 10 + (text[k] - '0'), 1000000000);
    if (negExp) exponent = -exponent;
  }
  exponent -= static_cast<int64_t>(nfrac);
  buf += 'e';
  buf += std::to_string(exponent);
  errno = 0;
  char* end = nullptr;
  const long double v = std::strtold(buf.c_str(), &end);
  if (end != buf.c_str() + buf.size()) return false;
  if (errno == ERANGE) {
    // Underflow reads as 0, overflow is no number.
    if (std::fabs(v) > 1.0L) return false;
    out = neg ? -0.0L : 0.0L;
    return true;
  }
  out = v;
  return true;
}

long double StrToFloatDef(std::string_view text, long double def) {
  long double v;
  return TextToFloat(text, v, Fmt().DecimalSeparator) ? v : def;
}

std::string NormalizeNumber(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  std::string s(text.substr(b, e - b));
  const char sep = Fmt().DecimalSeparator;
  for (auto& c : s)
    if (c == '.' || c == ',') c = sep;
  return s;
}

bool ShortDecimal(std::string_view text, int64_t& thousandths) {
  const char* p = text.data();
  const char* e = p + text.size();
  while (p < e && static_cast<unsigned char>(*p) <= ' ') ++p;
  while (e > p && static_cast<unsigned char>(e[-1]) <= ' ') --e;
  bool negative = false;
  if (p < e && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // A thirteenth whole digit ends the reading: that is no short decimal (and its digits
  // might not fit).
  const char* const whole = p;
  int64_t value = 0;
  for (unsigned d; p < e && (d = static_cast<unsigned char>(*p - '0')) < 10; ++p) {
    if (p - whole == 12) return false;
    value = value * 10 + d;
  }
  const bool noWhole = p == whole;
  size_t fractionDigits = 0;
  if (p < e && (*p == ',' || *p == '.')) {
    const char* const fraction = ++p;
    for (unsigned d; p < e && (d = static_cast<unsigned char>(*p - '0')) < 10; ++p) {
      if (p - fraction == 3) return false;  // a fourth fraction digit
      value = value * 10 + d;
    }
    fractionDigits = static_cast<size_t>(p - fraction);
  }
  if (p != e || (noWhole && fractionDigits == 0)) return false;
  static constexpr int64_t kScale[] = {1000, 100, 10, 1};
  value *= kScale[fractionDigits];
  thousandths = negative ? -value : value;
  return true;
}

std::string ThousandthsText(int64_t thousandths) {
  if (thousandths == 0) return "0";
  char buf[32];
  char* end = buf + sizeof buf;
  char* p = end;
  uint64_t u =
      thousandths < 0 ? 0 - static_cast<uint64_t>(thousandths) : static_cast<uint64_t>(thousandths);
  unsigned fraction = static_cast<unsigned>(u % 1000);
  u /= 1000;
  if (fraction != 0) {
    int digits = 3;
    while (fraction % 10 == 0) {
      fraction /= 10;
      --digits;
    }
    for (int k = 0; k < digits; ++k, fraction /= 10) *--p = static_cast<char>('0' + fraction % 10);
    *--p = Fmt().DecimalSeparator;
  }
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (thousandths < 0) *--p = '-';
  return std::string(p, end);
}

long double N(std::string_view text) {
  // A short decimal's digits over a power of ten, rounded once, and its thousandths over
  // 1000, rounded once, are the same quotient: the same value. Zero keeps the slow path
  // for its sign.
  int64_t thousandths;
  if (ShortDecimal(text, thousandths) && thousandths != 0)
    return static_cast<long double>(thousandths) / 1000;
  return StrToFloatDef(NormalizeNumber(text), 0);
}

static std::string TImpl(long double value, bool fast) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  Decimal d;
  d.negative = std::signbit(value);
  if (!fast || !FastSignificant(std::fabs(value), 15, d)) {
    d = ToDecimal(value);
    RoundDigits(d, 15);
  }
  if (d.zero) return "0";
  std::string out = d.negative ? "-" : "";
  const char sep = Fmt().DecimalSeparator;
  const int nd = static_cast<int>(d.digits.size());
  if (d.exponent > 15 || d.exponent < -3) {
    out += d.digits[0];
    if (nd > 1) {
      out += sep;
      out += d.digits.substr(1);
    }
    out += 'E';
    out += std::to_string(d.exponent - 1);
    return out;
  }
  if (d.exponent <= 0) {
    out += '0';
    out += sep;
    out.append(static_cast<size_t>(-d.exponent), '0');
    out += d.digits;
  } else if (nd <= d.exponent) {
    out += d.digits;
    out.append(static_cast<size_t>(d.exponent - nd), '0');
  } else {
    out += d.digits.substr(0, static_cast<size_t>(d.exponent));
    out += sep;
    out += d.digits.substr(static_cast<size_t>(d.exponent));
  }
  return out;
}

static std::string FormatFixedImpl(long double value, int decimals, bool thousands, bool fast) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  Decimal d;
  uint64_t scaled;
  if (fast && FastScaledRound(std::fabs(value), decimals, scaled)) {
    d.negative = std::signbit(value);
    d.zero = scaled == 0;
    std::string all = std::to_string(scaled);
    if (static_cast<int>(all.size()) <= decimals)
      all.insert(0, static_cast<size_t>(decimals) + 1 - all.size(), '0');
    d.exponent = static_cast<int>(all.size()) - decimals;
    d.digits = all;
  } else {
    d = ToDecimal(value);
    if (!d.zero) {
      RoundDigits(d, 18);
      RoundDigits(d, d.exponent + decimals);
    }
  }
  // Integer and fraction digit strings.
  std::string intPart, frac;
  if (d.zero) {
    intPart = "0";
  } else {
    const int nd = static_cast<int>(d.digits.size());
    if (d.exponent <= 0) {
      intPart = "0";
      frac.assign(static_cast<size_t>(-d.exponent), '0');
      frac += d.digits;
    } else if (nd <= d.exponent) {
      intPart = d.digits;
      intPart.append(static_cast<size_t>(d.exponent - nd), '0');
    } else {
      intPart = d.digits.substr(0, static_cast<size_t>(d.exponent));
      frac = d.digits.substr(static_cast<size_t>(d.exponent));
    }
  }
  if (static_cast<int>(frac.size()) < decimals) frac.append(decimals - frac.size(), '0');
  frac.resize(static_cast<size_t>(decimals));
  std::string out;
  if (d.negative && !d.zero) out += '-';
  if (thousands && intPart.size() > 3) {
    for (size_t i = 0; i < intPart.size(); ++i) {
      if (i != 0 && (intPart.size() - i) % 3 == 0) out += Fmt().ThousandSeparator;
      out += intPart[i];
    }
  } else {
    out += intPart;
  }
  if (decimals > 0) {
    out += Fmt().DecimalSeparator;
    out += frac;
  }
  return out;
}

std::string T(long double value) {
  return TImpl(value, true);
}
std::string TExact(long double value) {
  return TImpl(value, false);
}
std::string FormatFixed(long double value, int decimals, bool thousands) {
  return FormatFixedImpl(value, decimals, thousands, true);
}
std::string FormatFixedExact(long double value, int decimals, bool thousands) {
  return FormatFixedImpl(value, decimals, thousands, false);
}

}  // namespace dz
