#pragma once
// The process-wide number format and the number helpers every layer uses.
//
// The format is set once at program start (InitNumberFormat) and by tests explicitly
// (SetNumberFormat); nothing in the system reads the C locale for numbers. Reads of the
// setting from several threads are safe as long as nobody changes it meanwhile.

#include <cstdint>
#include <string>
#include <string_view>

namespace dz {

struct NumberFormat {
  char DecimalSeparator = ',';
  char ThousandSeparator = '.';
  char DateSeparator = '.';
  std::string CurrencyString = " \x80";  // " €" in Windows-1252; no output uses it
  int CurrencyDecimals = 2;
  int CurrencyFormat = 1;
  int NegCurrFormat = 5;
};

const NumberFormat& Fmt();
void SetNumberFormat(const NumberFormat& format);
// The defaults: decimal ",", thousands ".", date ".".
NumberFormat DefaultNumberFormat();

// Start-up: the defaults, then "REROVIR.INI" in `folder` (section "COUNTRY", key "EURO",
// default true; false gives decimal "." and thousands "'"). A missing or unreadable file
// leaves the defaults. Returns the format now in force.
const NumberFormat& InitNumberFormat(const std::string& folder);
// Reads the INI rule from a file without changing the process-wide format.
NumberFormat NumberFormatFromIni(const std::string& iniPath);

// Strict conversion with the given decimal separator: optional blanks, sign, digits with
// at most one decimal separator, optional exponent, optional blanks; no thousands
// separators. False (and out = 0) when the text is no number.
bool TextToFloat(std::string_view text, long double& out, char decimalSeparator);
// Tolerant conversion with the process-wide decimal separator: no number gives `def`.
long double StrToFloatDef(std::string_view text, long double def = 0);

// Number normalisation: trim blanks and control characters, then every "." and ","
// becomes the process-wide decimal separator.
std::string NormalizeNumber(std::string_view text);
// N(text): normalise and convert; text that does not convert reads as 0.
long double N(std::string_view text);
// A text N reads as a decimal of at most 12 integer and 3 fraction digits (blanks and
// control characters around it, "." or "," as its one separator), in thousandths; false
// for anything else.
bool ShortDecimal(std::string_view text, int64_t& thousandths);
// T(thousandths / 1000) for |thousandths| < 10^15, written from the digits.
std::string ThousandthsText(int64_t thousandths);
// T(value): general format, up to 15 significant digits, process-wide decimal separator,
// no thousands separators ("2,5", "3", "1E-6").
std::string T(long double value);

// T and FormatFixed without their fast paths: the exact digit generation they are checked
// against.
std::string TExact(long double value);
std::string FormatFixedExact(long double value, int decimals, bool thousands);

// Fixed formats with the process-wide separators, rounding half away from zero.
std::string FormatFixed(long double value, int decimals, bool thousands);
// ",#############0.000"
inline std::string FormatQuantity(long double v) {
  return FormatFixed(v, 3, true);
}
// "#0,.000": like the quantity pattern, but exactly 0 gives empty text.
inline std::string FormatAmount(long double v) {
  return v == 0 ? std::string() : FormatFixed(v, 3, true);
}
// "#############0.00"
inline std::string FormatPlain2(long double v) {
  return FormatFixed(v, 2, false);
}
// "%0.4f"
inline std::string FormatF4(long double v) {
  return FormatFixed(v, 4, false);
}

}  // namespace dz
