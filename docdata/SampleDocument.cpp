#include "docdata/SampleDocument.h"

#include <algorithm>

#include "docdata/Cp1252.h"
#include "docdata/RowConversion.h"

namespace dz {

namespace {

TDataGridLine Position(const char* pos, const char* qty, const char* unit, const char* text1,
                       const char* text2, const char* article, const char* price, const char* total,
                       const char* kind = "P") {
  TDataGridLine l;
  l.Pos = pos;
  l.Stueck = qty;
  l.Einheit = unit;
  l.Bezeichnung1 = text1;
  l.Bezeichnung2 = text2;
  l.Artikelnummer = article;
  l.Einzelbetrag = price;
  l.SummeBetrag = total;
  l.Steuer = *qty ? "19" : "";
  l.TypeLine = kind;
  return l;
}

}  // namespace

std::vector<TDataGridLine> SamplePositions() {
  // Windows-1252 text: \xE4 ä, \xF6 ö, \xFC ü, \xDF ß, \xC4 Ä, \xD6 Ö, \xDC Ü.
  std::vector<TDataGridLine> v = {
      Position("", "", "",
               "Montage K\xFC"
               "che Familie M\xFC"
               "ller",
               "", "", "", "", "t"),
      Position("1", "4", "Stk", "Unterschrank 60 cm", "Eiche gek\xE4lkt", "US-60-EI", "289,00",
               "1156,00"),
      Position("2", "2", "Stk", "H\xE4ngeschrank 80 cm",
               "Glast\xFC"
               "r",
               "HS-80-GL", "214,50", "429,00"),
      Position("3", "3,5", "m", "Arbeitsplatte Granit", "Zuschnitt nach Ma\xDF", "AP-GR-35",
               "389,90", "1364,65"),
      Position("4", "1", "Stk", "Sp\xFClmaschine vollintegriert", "", "GS-VI-45", "649,00",
               "649,00"),
      Position("5", "1", "Stk", "Dunstabzugshaube", "Edelstahl, 90 cm", "DH-90-ES", "499,00",
               "499,00"),
      Position("6", "12", "Std", "Montagearbeiten", "Meisterbetrieb", "LOHN-M", "58,00", "696,00"),
      Position("7", "1", "psch", "Anfahrt und Entsorgung", "Altger\xE4te", "PAUSCH-1", "85,00",
               "85,00"),
      Position("8", "6", "Stk", "Griffleisten \xD6lbronze", "", "GL-OB-6", "12,40", "74,40"),
      Position("9", "1", "Stk",
               "\xDC"
               "berbauleuchte LED",
               "warmwei\xDF", "LED-UB-2", "39,95", "39,95"),
      Position("10", "2", "Stk", "Schubkasteneins\xE4tze", "Buche massiv", "SE-BU-2", "44,00",
               "88,00"),
  };
  v[3].Rabatt = "5";
  v[4].Second =
      "Ger\xE4t mit Besteckschublade.\r\nEnergieeffizienzklasse C,\r\n"
      "Anschluss durch unseren Kundendienst (\"Komfort\"-Paket, 100 % gepr\xFC"
      "ft).";
  v[6].User = "Termin KW 12";
  return v;
}

StoredDocument SampleStoredDocument() {
  return TPositionTableWriter().Write(SamplePositions());
}

std::string RenderPositionTable(const TDataGrid& table) {
  const TColumnIndexRecord index = MakeColumnIndex(table);
  struct Col {
    const char* head;
    std::string TDataGridLine::*field;
    bool right;
  };
  const Col cols[] = {
      {"Pos", &TDataGridLine::Pos, true},
      {"Art", &TDataGridLine::TypeLine, false},
      {"St\xFC"
       "ck",
       &TDataGridLine::Stueck, true},
      {"Einheit", &TDataGridLine::Einheit, false},
      {"Bezeichnung", &TDataGridLine::Bezeichnung1, false},
      {"Artikelnummer", &TDataGridLine::Artikelnummer, false},
      {"Preis", &TDataGridLine::Einzelbetrag, true},
      {"MwSt", &TDataGridLine::Steuer, true},
      {"Rabatt", &TDataGridLine::Rabatt, true},
      {"Summe", &TDataGridLine::SummeBetrag, true},
  };
  constexpr size_t n = std::size(cols);
  std::vector<TDataGridLine> lines;
  for (int r = 1; r < table.RowCount(); ++r) {
    TDataGridLine l;
    FillLineFromRow(table, index, r, l);
    lines.push_back(std::move(l));
  }
  size_t width[n];
  for (size_t c = 0; c < n; ++c) {
    width[c] = std::string_view(cols[c].head).size();  // one byte is one character here
    for (const auto& l : lines) width[c] = std::max(width[c], (l.*cols[c].field).size());
  }
  auto cell = [&](std::string& out, size_t c, std::string_view text) {
    std::string pad(width[c] - text.size(), ' ');
    out += cols[c].right ? pad + std::string(text) : std::string(text) + pad;
    out += c + 1 < n ? "  " : "";
  };
  std::string out;
  for (size_t c = 0; c < n; ++c) cell(out, c, cols[c].head);
  out += "\n";
  size_t total = 0;
  for (size_t c = 0; c < n; ++c) total += width[c] + (c + 1 < n ? 2 : 0);
  out += std::string(total, '-') + "\n";
  size_t indent = 0;  // second description and long text go under the description
  for (size_t c = 0; c < 4; ++c) indent += width[c] + 2;
  for (const auto& l : lines) {
    for (size_t c = 0; c < n; ++c) cell(out, c, l.*cols[c].field);
    out += "\n";
    if (!l.Bezeichnung2.empty()) out += std::string(indent, ' ') + l.Bezeichnung2 + "\n";
    size_t start = 0;
    while (start < l.Second.size()) {
      size_t end = l.Second.find("\r\n", start);
      if (end == std::string::npos) end = l.Second.size();
      out += std::string(indent, ' ') + "| " + l.Second.substr(start, end - start) + "\n";
      start = end + 2;
    }
  }
  // Trailing blanks of right-padded last cells are dropped per line.
  std::string trimmed;
  size_t pos = 0;
  while (pos < out.size()) {
    size_t nl = out.find('\n', pos);
    std::string_view line(out.data() + pos, nl - pos);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    trimmed.append(line);
    trimmed.push_back('\n');
    pos = nl + 1;
  }
  return Cp1252ToUtf8(trimmed);
}

}  // namespace dz
