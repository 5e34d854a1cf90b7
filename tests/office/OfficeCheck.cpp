// What a spreadsheet makes of our clipboard renderings (`make test-office`, driven by
// tools/office-check.sh):
//
//   office_check render DIR    writes the renderings of one copy of grid rows as files:
//                              windows-html.html  "HTML Format", cut out by its envelope's
//                                                 StartHTML/EndHTML, read as UTF-8 (BOM)
//                              linux-html.html    "text/html", UTF-8 (BOM)
//                              windows-csv.csv    "CSV", Windows-1252
//                              linux-csv.csv      "text/csv", UTF-8
//   office_check compare DIR   reads the spreadsheets converted from them (DIR/<name>.fods,
//                              flat OpenDocument) and compares every cell with kExpected.
//
// The spreadsheet runs under a German locale: "1.234,500" is a number there.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "docdata/Cp1252.h"
#include "docdata/NumberFormat.h"
#include "output/ClipboardExport.h"

namespace {

using dz::TDataGridLine;

// The copied rows; texts in UTF-8 here, in the host's 8-bit text on the lines. "\u00A0"
// is a typed non-breaking space.
struct Input {
  const char *pos, *menge, *text, *nummer, *preis, *rabatt, *summe, *intern, *second;
};
const Input kInput[] = {
    {"1", "2", "Größe Übermaß „Spezial“ – ÄÖÜ äöü ß", "A-100", "1234,5", "", "2469", "", ""},
    {"2", "-1,5", "Gutschrift 10\u00A0kg à 12,34 € … ™", "R-7", "12,34", "5", "-18,51", "", ""},
    {"3", "1", "Schrank 19\" Rohr Ø 20 < 25 mm & Muffe", "SK-1", "1234567,891", "", "1234567,891",
     // A parts list: quantity, text, number, price and position in fields 1, 3, 5, 6, 9.
     "\x08;2;;Schraube M8 „verzinkt“;;S-8;0,25;;;3.1\r\n",
     "Lieferung in zwei Teilen\r\nRest folgt – ca. 2 Wochen"},
};

// A cell as the spreadsheet holds it: a number, a text, or nothing.
struct Cell {
  enum Kind { Empty, Number, Text } kind = Empty;
  double value = 0;
  std::string text;
};
Cell N(double v) {
  return {Cell::Number, v, {}};
}
Cell T(const char* s) {
  return *s ? Cell{Cell::Text, 0, s} : Cell{};
}

// Every row of both renderings, in order; `in` says which: 'h' HTML, 'c' CSV, 'b' both.
// The HTML writes spaces as "&nbsp;", which the spreadsheet reads as spaces again, and a
// typed non-breaking space as "&#160;", which stays one.
struct Row {
  char in;
  std::vector<Cell> cells;
};
const Row kExpected[] = {
    {'h', {T("Position"), T("Menge"), T("Text"), T("Nummer"), T("Preis"), T("Rabatt"), T("Summe")}},
    {'c', {T("Pos"), T("Menge"), T("Text"), T("Nummer"), T("Preis"), T("Rabatt"), T("Summe")}},
    {'b', {N(1), N(2), T(kInput[0].text), T("A-100"), N(1234.5), T(""), N(2469)}},
    {'b', {N(2), N(-1.5), T(kInput[1].text), T("R-7"), N(12.34), N(5), N(-18.51)}},
    {'b', {N(3), N(1), T(kInput[2].text), T("SK-1"), N(1234567.891), T(""), N(1234567.891)}},
    {'h', {T("Stückliste:")}},
    {'c', {T("Stückliste")}},
    {'b', {T("3.1"), N(2), T("Schraube M8 „verzinkt“"), T("S-8"), N(0.25), T(""), N(0.5)}},
    {'h', {T(" ")}},  // the blank row after a parts list
    {'h', {T("Lieferung in zwei Teilen\nRest folgt – ca. 2 Wochen")}},
};

std::string Cp(const char* utf8) {
  return dz::Utf8ToCp1252(utf8);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
  f.close();
  if (!f) std::cerr << "cannot write " << path << "\n";
  return static_cast<bool>(f);
}

// The part of an "HTML Format" block a reader takes: from StartHTML to EndHTML.
bool CutEnvelope(const std::string& env, std::string& html) {
  auto offset = [&](const std::string& key) -> long {
    const size_t at = env.find(key + ":");
    if (at == std::string::npos || at > 200) return -1;
    return std::strtol(env.c_str() + at + key.size() + 1, nullptr, 10);
  };
  const long start = offset("StartHTML"), end = offset("EndHTML");
  if (start < 0 || end < start || static_cast<size_t>(end) > env.size()) {
    std::cerr << "HTML Format: bad offsets " << start << ".." << end << "\n";
    return false;
  }
  html = env.substr(start, end - start);
  return true;
}

int Render(const std::string& dir) {
  dz::SetNumberFormat(dz::DefaultNumberFormat());
  std::vector<TDataGridLine> lines(std::size(kInput));
  std::vector<TDataGridLine*> rows;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Input& in = kInput[i];
    TDataGridLine& l = lines[i];
    l.Pos = in.pos;
    l.Stueck = in.menge;
    l.Bezeichnung1 = Cp(in.text);
    l.Artikelnummer = in.nummer;
    l.Einzelbetrag = in.preis;
    l.Rabatt = in.rabatt;
    l.SummeBetrag = in.summe;
    l.intern = Cp(in.intern);
    l.Second = Cp(in.second);
    rows.push_back(&l);
  }
  const dz::ClipboardPayload p =
      dz::CopySelectedLines(rows, "{00000000-0000-0000-0000-000000000001}");
  const std::string bom = "\xEF\xBB\xBF";
  std::string html;
  return CutEnvelope(p.HTMLFormat, html) && WriteFile(dir + "/windows-html.html", bom + html) &&
                 WriteFile(dir + "/linux-html.html", bom + p.HTMLUtf8) &&
                 WriteFile(dir + "/windows-csv.csv", p.CSV) &&
                 WriteFile(dir + "/linux-csv.csv", p.CSVUtf8)
             ? 0
             : 1;
}

// --- Reading the flat OpenDocument spreadsheet: the cells of its first table.

std::string Attr(const std::string& tag, const std::string& name) {
  const size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return {};
  const size_t from = at + name.size() + 3;
  return tag.substr(from, tag.find('"', from) - from);
}

std::string Unescape(const std::string& s) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  std::string out;
  for (size_t i = 0; i < s.size();) {
    bool done = false;
    for (auto [from, to] : kEntities)
      if (s.compare(i, std::strlen(from), from) == 0) {
        out += to;
        i += std::strlen(from);
        done = true;
        break;
      }
    if (!done) out += s[i++];
  }
  return out;
}

struct ReadCell {
  Cell cell;
  std::string raw;  // the value type and value as written, for messages
};

std::vector<std::vector<ReadCell>> ReadSheet(const std::string& xml) {
  std::vector<std::vector<ReadCell>> rows;
  size_t pos = xml.find("<table:table ");
  const size_t end = xml.find("</table:table>", pos);
  if (pos == std::string::npos || end == std::string::npos) return rows;
  ReadCell* cell = nullptr;
  int paragraphs = 0;  // of the current cell
  bool inParagraph = false;
  while (pos < end) {
    const size_t lt = xml.find('<', pos);
    if (lt >= end) break;
    if (inParagraph && cell) cell->cell.text += Unescape(xml.substr(pos, lt - pos));
    const size_t gt = xml.find('>', lt);
    const std::string tag = xml.substr(lt, gt + 1 - lt);
    pos = gt + 1;
    const std::string name = tag.substr(1, tag.find_first_of(" />", 2) - 1);
    const bool empty = tag.size() > 2 && tag[tag.size() - 2] == '/';
    if (name == "table:table-row") {
      rows.emplace_back();
    } else if ((name == "table:table-cell" || name == "table:covered-table-cell") &&
               !rows.empty()) {
      const int repeat =
          std::max(1, std::min(64, std::atoi(Attr(tag, "table:number-columns-repeated").c_str())));
      for (int i = 0; i < repeat; ++i) rows.back().emplace_back();
      cell = &rows.back().back();
      paragraphs = 0;
      const std::string type = Attr(tag, "office:value-type");
      const std::string value = Attr(tag, "office:value");
      cell->raw = type + (value.empty() ? "" : " " + value);
      if (type == "float") {
        cell->cell.kind = Cell::Number;
        cell->cell.value = std::strtod(value.c_str(), nullptr);
      } else if (!type.empty()) {
        cell->cell.kind = Cell::Text;
      }
      if (empty) cell = nullptr;
    } else if (name == "/table:table-cell" || name == "/table:covered-table-cell") {
      cell = nullptr;
    } else if (name == "text:p" && cell) {
      if (paragraphs++ > 0) cell->cell.text += '\n';
      inParagraph = !empty;
    } else if (name == "/text:p") {
      inParagraph = false;
    } else if (inParagraph && cell) {
      if (name == "text:s") {
        const int n = std::atoi(Attr(tag, "text:c").c_str());
        cell->cell.text.append(std::max(1, std::min(n, 1000)), ' ');
      } else if (name == "text:tab") {
        cell->cell.text += '\t';
      } else if (name == "text:line-break") {
        cell->cell.text += '\n';
      }
    }
  }
  // Trailing empty cells and rows are no content.
  for (auto& r : rows)
    while (!r.empty() && r.back().cell.kind == Cell::Empty && r.back().cell.text.empty())
      r.pop_back();
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  return rows;
}

std::string Show(const Cell& c) {
  std::ostringstream s;
  if (c.kind == Cell::Number) s << "number " << c.value;
  if (c.kind == Cell::Text) s << "text \"" << c.text << "\"";
  if (c.kind == Cell::Empty) s << "empty" << (c.text.empty() ? "" : " \"" + c.text + "\"");
  return s.str();
}

bool Same(const Cell& want, const Cell& got) {
  if (want.kind != got.kind) return false;
  if (want.kind == Cell::Number)
    return std::fabs(want.value - got.value) <= 1e-9 * std::max(1.0, std::fabs(want.value));
  return want.text == got.text;
}

// Compares one converted file; prints every difference.
int Compare(const std::string& dir, const std::string& name, char rendering) {
  std::ifstream f(dir + "/" + name + ".fods", std::ios::binary);
  if (!f) {
    std::cerr << name << ": no spreadsheet was made\n";
    return 1;
  }
  std::ostringstream xml;
  xml << f.rdbuf();
  const auto got = ReadSheet(xml.str());
  std::vector<std::vector<Cell>> want;
  for (const Row& r : kExpected) {
    if (r.in != 'b' && r.in != rendering) continue;
    want.push_back(r.cells);
  }
  int faults = 0;
  for (size_t r = 0; r < std::max(want.size(), got.size()); ++r) {
    const size_t cols =
        std::max(r < want.size() ? want[r].size() : 0, r < got.size() ? got[r].size() : 0);
    for (size_t c = 0; c < cols; ++c) {
      const Cell w = r < want.size() && c < want[r].size() ? want[r][c] : Cell{};
      const ReadCell g = r < got.size() && c < got[r].size() ? got[r][c] : ReadCell{};
      if (Same(w, g.cell)) continue;
      ++faults;
      std::cerr << name << " row " << r + 1 << " column " << c + 1 << ": expected " << Show(w)
                << ", got " << Show(g.cell) << " (" << g.raw << ")\n";
    }
  }
  std::cout << name << ": " << (faults ? "FAILED" : "ok") << " (" << got.size() << " rows)\n";
  return faults ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode == "render") return Render(argv[2]);
  if (mode == "compare") {
    int failed = 0;
    failed += Compare(argv[2], "windows-html", 'h');
    failed += Compare(argv[2], "linux-html", 'h');
    failed += Compare(argv[2], "windows-csv", 'c');
    failed += Compare(argv[2], "linux-csv", 'c');
    return failed ? 1 : 0;
  }
  std::cerr << "usage: office_check render|compare DIR\n";
  return 2;
}
