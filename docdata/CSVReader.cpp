#include "docdata/CSVReader.h"

namespace dz {

bool TCSVReader::Next(std::vector<std::string>& fields) {
  fields.clear();
  const size_t n = text_.size();
  if (end_ || pos_ >= n) {
    end_ = true;
    return false;
  }
  size_t p = pos_;
  if (text_[p] != '\r') {
    for (;;) {
      std::string field;
      if (text_[p] == quote_) {
        for (++p;;) {
          if (p >= n) return end_ = true, false;
          if (text_[p] == quote_) {
            if (p + 1 < n && text_[p + 1] == quote_) {
              field += quote_;
              p += 2;
              continue;
            }
            ++p;
            break;
          }
          field += text_[p++];
        }
      }
      while (p < n && text_[p] != separator_ && text_[p] != '\r') field += text_[p++];
      if (p >= n) return end_ = true, false;
      fields.push_back(std::move(field));
      if (text_[p] == '\r') break;
      if (++p >= n) return end_ = true, false;  // text ends after a separator
    }
  }
  // text_[p] is the record's CR; the record needs one more character after it.
  if (p + 1 >= n) return end_ = true, false;
  pos_ = p + 2;
  return true;
}

std::string UnescapeFieldText(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 >= field.size()) break;
    char d = field[++i];
    switch (d) {
      case '%':
        out += '%';
        break;
      case '0':
        out += '\0';
        break;
      case 'c':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      default:
        out += '%';
        out += d;
    }
  }
  return out;
}

std::string_view TrimControl(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
}

}  // namespace dz
