#include "output/ExDataGridLines.h"

#include "docdata/Cp1252.h"
#include "docdata/IntText.h"
#include "docdata/NumberFormat.h"
#include "output/HtmlClipboard.h"
#include "output/PartsList.h"

namespace dz {

namespace {

constexpr std::string_view kCRLF = "\r\n";

// A quantity or amount as the tables show it: thousands separators, three decimals,
// nothing for 0.
std::string Amount(std::string_view text) {
  return FormatAmount(StrToFloatDef(text));
}

// Marker rows keep their price texts as typed: they are not priced positions.
bool KeepsRawAmounts(std::string_view typeLine) {
  return typeLine == "-" || typeLine == "a" || typeLine == "\x81";
}

std::string PlainAmount(const TDataGridLine& line, const std::string& text) {
  return KeepsRawAmounts(line.TypeLine) ? text : FormatPlain2(StrToFloatDef(text));
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// What the HTML shows of a part's number: the number goes through its shortest text and
// back first, so the table agrees with what the part list shows elsewhere.
long double ViaText(long double v) {
  return StrToFloatDef(T(v));
}

void Line(std::string& out, std::string_view a, std::string_view b = {}) {
  out += a;
  out += b;
  out += kCRLF;
}

void Cell(std::string& out, std::string_view open, std::string_view content) {
  out += open;
  out += content;
  out += "</td>";
}

constexpr std::string_view kLeft = "<td align=left>";
constexpr std::string_view kRight = "<td align=right>";

void WideRow(std::string& out, std::string_view content) {
  out += "<tr>";
  Cell(out, "<td colspan=\"7\" align=left>", content);
  out += "</tr>";
}

void CsvField(std::string& out, std::string_view field, char sep, bool first = false) {
  if (!first) out += sep;
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void CsvRecord(std::string& out, std::initializer_list<std::string_view> fields, char sep) {
  if (!out.empty()) out += kCRLF;
  bool first = true;
  for (auto f : fields) {
    CsvField(out, f, sep, first);
    first = false;
  }
}

// The value of `name` among the "name=value" lines of `text` (names compared without
// regard to letter case); empty when there is none.
std::string ValueOfName(std::string_view text, std::string_view name) {
  size_t p = 0;
  while (p < text.size()) {
    size_t e = text.find_first_of("\r\n", p);
    if (e == std::string_view::npos) e = text.size();
    std::string_view line = text.substr(p, e - p);
    if (auto eq = line.find('=');
        eq != std::string_view::npos && SameText(line.substr(0, eq), name))
      return std::string(line.substr(eq + 1));
    p = e;
    if (p < text.size() && text[p] == '\r') ++p;
    if (p < text.size() && text[p] == '\n') ++p;
  }
  return std::string();
}

}  // namespace

std::string TExDataGridLines::GetAsText() const {
  std::string out;
  for (size_t i = 0; i < Count(); ++i) {
    const TDataGridLine& l = Items(i);
    Line(out, "Position=", l.Pos);
    Line(out, "Menge=", l.Stueck);
    Line(out, "Einheit=", l.Einheit);
    Line(out, TextKey1 + "=", l.Bezeichnung1);
    Line(out, TextKey2 + "=", l.Bezeichnung2);
    Line(out, TextKey3 + "=", l.BestellNummer);
    Line(out, "Seriennummer=", l.Seriennummer);
    Line(out, "Artikelnummer=", l.Artikelnummer);
    Line(out, "Einzelbetrag=", PlainAmount(l, l.Einzelbetrag));
    Line(out, "Steuer=", l.Steuer);
    Line(out, "Rabatt=", l.Rabatt);
    Line(out, "Summebetrag=", PlainAmount(l, l.SummeBetrag));
    Line(out, "Beschreibung=", l.Second);
    std::string_view extra = l.ExtraData;
    while (!extra.empty()) {
      size_t bs = extra.find('\x08');
      Line(out, "Extra=", extra.substr(0, bs));
      extra.remove_prefix(bs == std::string_view::npos ? extra.size() : bs + 1);
    }
    int32_t vpe = 0;
    if (TryStrToInt(ValueOfName(l.User, "VPE"), vpe) && vpe > 0)
      Line(out, "VPE=", Trimmed(std::to_string(vpe) + " " + ValueOfName(l.User, "VPEU")));
    Line(out, "EAN=", ValueOfName(l.User, "EAN"));
    if (l.User.find("begin.alterpart") != std::string::npos) Line(out, "Alternative Postion");
    if (!l.intern.empty() && StrToIntDef(l.intern, 0) == 0)
      Line(out,
           "St\xFC"
           "ckliste ist vorhanden");
    Line(out, "--------------------");
  }
  return out;
}

std::string TExDataGridLines::HTMLTable() const {
  std::string out =
      "<div><font face=\"verdana,Tahoma,arial,helvetica\"><table width=\"100%\" border=1 "
      "cellpadding=1 bordercolor=\"#000000\" cellspacing=-1 style=\"border-width: 0px; "
      "border-collapse: collapse;\">";
  out += "<tr>";
  static constexpr std::string_view kLeftHead = "<th align=left bgcolor=";
  static constexpr std::pair<std::string_view, std::string_view> kHeads[] = {
      {"Position", kLeftHead},
      {"Menge", kLeftHead},
      {"Text", kLeftHead},
      {"Nummer", kLeftHead},
      {"Preis", "<th align=right bgcolor="},
      {"Rabatt", kLeftHead},
      {"Summe", "<th  align=right bgcolor="},
  };
  for (auto& [title, open] : kHeads) {
    out += open;
    out += "\"#e6f9ff\">";
    out += title;
    out += "</th>";
  }
  out += "</tr>";
  for (size_t i = 0; i < Count(); ++i) {
    const TDataGridLine& l = Items(i);
    const std::string pos = HTMLEscape(l.Pos);
    const std::string text = HTMLEscape(l.Bezeichnung1);
    const long double menge = StrToFloatDef(l.Stueck);
    const long double preis = StrToFloatDef(l.Einzelbetrag);
    const long double summe = StrToFloatDef(l.SummeBetrag);
    if (!(pos.empty() && menge == 0 && text.empty() && preis == 0 && summe == 0)) {
      out += "<tr>";
      Cell(out, kLeft, pos);
      Cell(out, kLeft, FormatAmount(menge));
      Cell(out, kLeft, text);
      Cell(out, kLeft, HTMLEscape(l.Artikelnummer));
      Cell(out, "<td  align=right>", FormatAmount(preis));
      Cell(out, kLeft, Amount(l.Rabatt));
      Cell(out, kRight, FormatAmount(summe));
      out += "</tr>";
    }
    if (!l.intern.empty()) {
      WideRow(out, HTMLEscape("St\xFC"
                              "ckliste:"));
      for (const auto& part : ReadPartsList(l.intern)) {
        const long double m = ViaText(part.Menge), p = ViaText(part.Preis);
        out += "<tr>";
        Cell(out, kLeft, HTMLEscape(part.Position));
        Cell(out, kLeft, FormatAmount(m));
        Cell(out, kLeft, HTMLEscape(part.Text));
        Cell(out, kLeft, HTMLEscape(part.Nummer));
        Cell(out, kRight, FormatAmount(p));
        Cell(out, kLeft, "");
        Cell(out, kRight, FormatAmount(m * p));
        out += "</tr>";
      }
      WideRow(out, HTMLEscape(" "));
    }
    if (!l.Second.empty() || !l.L2.empty()) {
      out += "<tr valign=top>\r\n";
      Cell(out,
           "<td colspan=\"7\" valign=middle style=\"border-color: #000000; border-style: "
           "solid;\"><br>\r\n",
           HTMLEscape(l.Second));
      out += "</tr>";
    }
  }
  out += "</Table></div>";
  return out;
}

std::string TExDataGridLines::GetAsHTML() const {
  return HTMLClipboardEnvelope(HTMLTable());
}

std::string TExDataGridLines::GetAsCSV() const {
  const char sep = ListSeparator;
  std::string out;
  CsvRecord(out, {"Pos", "Menge", "Text", "Nummer", "Preis", "Rabatt", "Summe"}, sep);
  for (size_t i = 0; i < Count(); ++i) {
    const TDataGridLine& l = Items(i);
    CsvRecord(out,
              {l.Pos, Amount(l.Stueck), l.Bezeichnung1, l.Artikelnummer, Amount(l.Einzelbetrag),
               Amount(l.Rabatt), Amount(l.SummeBetrag)},
              sep);
    if (l.intern.empty()) continue;
    CsvRecord(out,
              {"St\xFC"
               "ckliste",
               "", "", "", "", "", ""},
              sep);
    for (const auto& part : ReadPartsList(l.intern))
      CsvRecord(out,
                {part.Position, FormatAmount(part.Menge), part.Text, part.Nummer,
                 FormatAmount(part.Preis), "", FormatAmount(part.Total())},
                sep);
  }
  return out;
}

}  // namespace dz
