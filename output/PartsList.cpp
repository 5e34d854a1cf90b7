#include "output/PartsList.h"

#include "docdata/NumberFormat.h"

namespace dz {

namespace {

bool IsBreak(char c) {
  return c == '\r' || c == '\n' || c == '\0';
}

std::string UnescapePartField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      out += field[i];
      continue;
    }
    if (++i >= field.size()) break;
    switch (field[i]) {
      case '0':
        out += '\0';
        break;
      case 'c':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      default:  // "%%" and anything the host does not write: the character itself
        out += field[i];
        break;
    }
  }
  return out;
}

PartsListRecord SplitRecord(std::string_view record) {
  PartsListRecord fields;
  size_t p = 0, index = 0;
  const size_t n = record.size();
  while (index < kPartsListFields) {
    std::string field;
    if (p < n && record[p] == '"') {
      for (++p; p < n; ++p) {
        if (record[p] != '"') {
          field += record[p];
        } else if (p + 1 < n && record[p + 1] == '"') {
          field += '"';
          ++p;
        } else {
          ++p;
          break;
        }
      }
    }
    while (p < n && record[p] != ';') field += record[p++];
    fields[index++] = UnescapePartField(field);
    if (p >= n) break;
    ++p;  // the ";"
  }
  return fields;
}

}  // namespace

std::vector<PartsListRecord> ReadPartsListRecords(std::string_view text) {
  if (auto bs = text.find('\x08'); bs != std::string_view::npos) text.remove_prefix(bs + 1);
  std::vector<PartsListRecord> records;
  size_t p = 0;
  while (p < text.size()) {
    size_t e = p;
    while (e < text.size() && !IsBreak(text[e])) ++e;
    if (e == p) break;  // an empty record ends the list
    records.push_back(SplitRecord(text.substr(p, e - p)));
    p = e;
    while (p < text.size() && IsBreak(text[p])) ++p;
  }
  return records;
}

std::vector<TPartsListPart> ReadPartsList(std::string_view text) {
  std::vector<TPartsListPart> parts;
  for (auto& r : ReadPartsListRecords(text)) {
    TPartsListPart part;
    part.Menge = StrToFloatDef(r[1]);
    part.Text = std::move(r[3]);
    part.Nummer = std::move(r[5]);
    part.Preis = StrToFloatDef(r[6]);
    part.Position = std::move(r[9]);
    parts.push_back(std::move(part));
  }
  return parts;
}

}  // namespace dz
