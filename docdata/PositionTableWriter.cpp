#include "docdata/PositionTableWriter.h"

#include <zlib.h>

#include <new>

#include "docdata/DataGrid.h"

namespace dz {

namespace {

// The line field a stored column takes its text from.
std::string_view FieldFor(const TDataGridLine& l, std::string_view name) {
  if (name == "TColumn-1") return l.TypeLine;
  if (name == "Pos.") return l.Pos;
  if (name == "Stueck") return l.Stueck;
  if (name == "Einheit") return l.Einheit;
  if (name == "Bezeichnung1") return l.Bezeichnung1;
  if (name == "Bezeichnung2") return l.Bezeichnung2;
  if (name == "BestellNummer") return l.BestellNummer;
  if (name == "Seriennummer") return l.Seriennummer;
  if (name == "Artikelnummer") return l.Artikelnummer;
  if (name == "Einzelbetrag") return l.Einzelbetrag;
  if (name == "Steuer") return l.Steuer;
  if (name == "SummeBetrag") return l.SummeBetrag;
  if (name == "intern") return l.intern;
  if (name == "ID_Artikel") return l.ID_Artikel;
  if (name == "benutzer") return l.User;
  if (name == "Rabatt") return l.Rabatt;
  return {};
}

void AppendLine(std::string& out) {
  out += "\r\n";
}

}  // namespace

void AppendQuotedField(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    switch (c) {
      case '%':
        out += "%%";
        break;
      case '\0':
        out += "%0";
        break;
      case '\r':
        out += "%c";
        break;
      case '\n':
        out += "%n";
        break;
      case '"':
        out += "\"\"";
        break;
      default:
        out.push_back(c);
    }
  }
  out.push_back('"');
}

std::string DeflateBlob(std::string_view raw, int level) {
  uLongf n = compressBound(raw.size());
  std::string out(n, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &n,
                reinterpret_cast<const Bytef*>(raw.data()), raw.size(), level) != Z_OK)
    throw std::bad_alloc();
  out.resize(n);
  return out;
}

TPositionTableWriter::TPositionTableWriter() {
  TDataGrid defaults;
  for (int i = 0; i < defaults.ColCount(); ++i)
    FieldOrder.push_back(defaults.Columns()[i].FieldName);
}

std::string TPositionTableWriter::ColumnsStream() const {
  TDataGrid defaults;
  TDataGridColumns cols;
  for (const auto& name : FieldOrder) {
    TColumn& c = cols.Add();
    int at = -1;
    for (int i = 0; i < defaults.ColCount(); ++i)
      if (defaults.Columns()[i].FieldName == name) at = i;
    if (at >= 0) c.Assign(defaults.Columns()[at]);
    c.FieldName = name;
  }
  return WriteComponent(TColumnsWrapper(cols));
}

template <class Lines>
std::string TPositionTableWriter::Datas(const Lines& lines, size_t count) const {
  std::string out;
  out.reserve(256 + count * 200);
  AppendQuotedField(out, "@@DATADEF START@@");
  AppendLine(out);
  for (const auto& name : FieldOrder) {
    AppendQuotedField(out, name);
    AppendLine(out);
  }
  AppendQuotedField(out, "SecondField");
  AppendLine(out);
  AppendQuotedField(out, "@@DATADEF END@@");
  AppendLine(out);
  // The title line (dropped by the reader).
  for (size_t i = 0; i < FieldOrder.size(); ++i) {
    if (i) out.push_back(',');
    AppendQuotedField(out, FieldOrder[i]);
  }
  AppendLine(out);
  for (size_t k = 0; k < count; ++k) {
    const TDataGridLine& l = lines[k];
    for (const auto& name : FieldOrder) {
      AppendQuotedField(out, FieldFor(l, name));
      out.push_back(',');
    }
    AppendQuotedField(out, l.Second);
    AppendLine(out);
  }
  return out;
}

std::string TPositionTableWriter::DatasText(const std::vector<TDataGridLine>& lines) const {
  return Datas(lines, lines.size());
}

std::string TPositionTableWriter::DatasText(const TCustomDataGridLines& lines) const {
  return Datas(lines, lines.Count());
}

StoredDocument TPositionTableWriter::Write(const std::vector<TDataGridLine>& lines) const {
  return {DeflateBlob(ColumnsStream(), CompressionLevel),
          DeflateBlob(DatasText(lines), CompressionLevel)};
}

StoredDocument TPositionTableWriter::Write(const TCustomDataGridLines& lines) const {
  return {DeflateBlob(ColumnsStream(), CompressionLevel),
          DeflateBlob(DatasText(lines), CompressionLevel)};
}

}  // namespace dz
