#include "docdata/NumberFormat.h"

#include <ini.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <mutex>

#include "docdata/Cp1252.h"

namespace dz {

namespace {

NumberFormat& Current() {
  static NumberFormat f;
  return f;
}

struct IniState {
  bool euro = true;
};

int IniHandler(void* user, const char* section, const char* name, const char* value) {
  auto* st = static_cast<IniState*>(user);
  if (SameText(section, "COUNTRY") && SameText(name, "EURO")) {
    std::string v = UpperCase(value ? value : "");
    while (!v.empty() && static_cast<unsigned char>(v.back()) <= ' ') v.pop_back();
    size_t s = 0;
    while (s < v.size() && static_cast<unsigned char>(v[s]) <= ' ') ++s;
    v.erase(0, s);
    long double num = 0;
    if (v == "TRUE" || v == "YES" || v == "ON")
      st->euro = true;
    else if (v == "FALSE" || v == "NO" || v == "OFF")
      st->euro = false;
    else if (TextToFloat(v, num, '.') && num == std::floor(num))
      st->euro = num != 0;
  }
  return 1;
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
  IniState st;
  if (ini_parse(iniPath.c_str(), IniHandler, &st) < 0) return f;  // missing or unreadable
  if (!st.euro) {
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
  std::string buf;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') buf += '-';
    ++i;
  }
  int digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') {
    buf += text[i++];
    ++digits;
  }
  if (i < n && text[i] == decimalSeparator) {
    buf += '.';
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      buf += text[i++];
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    buf += 'e';
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) buf += text[i++];
    int ed = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      buf += text[i++];
      ++ed;
    }
    if (ed == 0) return false;
  }
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return false;
  long double v = 0;
  auto r = std::from_chars(buf.data(), buf.data() + buf.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // Underflow reads as 0, overflow is no number.
    bool neg = !buf.empty() && buf[0] == '-';
    auto epos = buf.find('e');
    if (epos != std::string::npos && buf[epos + 1] == '-') {
      out = neg ? -0.0L : 0.0L;
      return true;
    }
    return false;
  }
  if (r.ec != std::errc() || r.ptr != buf.data() + buf.size()) return false;
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

long double N(std::string_view text) {
  return StrToFloatDef(NormalizeNumber(text), 0);
}

std::string T(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  Decimal d = ToDecimal(value);
  RoundDigits(d, 15);
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

std::string FormatFixed(long double value, int decimals, bool thousands) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  Decimal d = ToDecimal(value);
  if (!d.zero) {
    RoundDigits(d, 18);
    RoundDigits(d, d.exponent + decimals);
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

}  // namespace dz
