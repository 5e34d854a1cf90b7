#pragma once
// The host's comma-separated records, as it writes the info lines of a document and the
// field list of a query answer.
//
// A record ends at a CR, and the one character after the CR (the LF of a CR LF pair) is
// skipped. A record counts only when that character exists: text that ends inside a
// record, or right after its CR, ends the reading without that record, so a final CR LF
// starts no further record and an unterminated last record is not read. A blank line
// (nothing before its CR) is a record without fields. A field that begins with the quote
// character runs to the matching quote, two quotes in a row standing for one; separators
// and CRs inside quotes belong to the field, and text after the closing quote up to the
// separator is kept. Any other field runs unchanged to the next separator or CR.
//
// The reader works on bytes it does not own (they must outlive it) and never raises.

#include <string>
#include <string_view>
#include <vector>

namespace dz {

class TCSVReader {
 public:
  explicit TCSVReader(std::string_view text, char separator = ',', char quote = '"')
      : text_(text), separator_(separator), quote_(quote) {}

  // The raw fields of the next complete record (neither unescaped nor trimmed); false
  // when there is none.
  bool Next(std::vector<std::string>& fields);

 private:
  std::string_view text_;
  size_t pos_ = 0;
  char separator_, quote_;
  bool end_ = false;
};

// The host's escapes inside a field: "%%" is "%", "%0" a NUL byte, "%c" CR, "%n" LF. A "%"
// before any other character stays as it is; a "%" at the very end is dropped.
std::string UnescapeFieldText(std::string_view field);

// Without leading and trailing characters of codes 0-32.
std::string_view TrimControl(std::string_view text);

}  // namespace dz
