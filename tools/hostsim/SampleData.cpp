#include "tools/hostsim/SampleData.h"

#include <cstdio>

#include "docdata/MVJSON.h"
#include "docdata/NumberFormat.h"
#include "docdata/PositionTableWriter.h"
#include "platform/Platform.h"

namespace dz::hostsim {

namespace {

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// Amounts as the host stores them in its rows, always with a decimal comma.
std::string Money(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  std::string s = buf;
  for (char& c : s)
    if (c == '.') c = ',';
  return s;
}

double Number(const std::string& text) {
  std::string s = text;
  for (char& c : s)
    if (c == ',') c = '.';
  return std::strtod(s.c_str(), nullptr);
}

// JSON member values of a position: the host writes its numbers as text in its own
// number format.
void PutPart(TMVSONList& parts, const TDataGridLine& l) {
  TMVJSON& p = parts.AddObject();
  p.PutString("Position", l.Pos);
  p.PutString("Quantity", l.Stueck);
  p.PutString("Unit", l.Einheit);
  p.PutString("Description1", l.Bezeichnung1);
  p.PutString("Description2", l.Bezeichnung2);
  p.PutString("Number", l.Artikelnummer);
  p.PutString("DeliverNumber", l.BestellNummer);
  p.PutString("SerialNumber", l.Seriennummer);
  p.PutString("LongText", l.Second);
  p.PutString("Price", l.Einzelbetrag);
  p.PutString("Rabatt", l.Rabatt);
  p.PutString("TaxRate", l.Steuer);
  p.PutString("Total", l.SummeBetrag);
  p.PutString("TypLine", l.TypeLine);
  p.PutString("User", l.User);
  p.PutString("ID", l.ID_Artikel);
  p.PutString("Intern", l.intern);
}

// ---- the hand-made sample: a heating renovation for a bakery ----

const char* const kCustomer =
    "B\xE4"
    "ckerei Sch\xE4"
    "fer GmbH & Co. KG";

TDataGridLine P(const char* pos, const char* qty, const char* unit, const char* text,
                const char* partNo, double price) {
  return PositionLine(pos, qty, unit, text, partNo, Money(price));
}

TDataGridLine Marker(const char* kind, const char* text) {
  return PositionLine("", "", "", text, "", "", kind);
}

std::vector<TDataGridLine> ConfirmationLines() {
  // Windows-1252: \xE4 ä, \xF6 ö, \xFC ü, \xDF ß, \xD6 Ö, \xDC Ü, \xD7 ×, \xBD ½, \xB0 °, \xB2 ².
  std::vector<TDataGridLine> v = {
      Marker("t", "Titel 1: Heizungsanlage"),
      P("1", "1", "Stk", "Gas-Brennwertkessel 24 kW", "GBK-24", 4890.00),
      P("2", "1", "Stk", "Abgassystem Edelstahl DN 80", "AGS-80", 612.50),
      P("3", "1", "Stk", "Ausdehnungsgef\xE4\xDF 35 l", "ADG-35", 89.90),
      P("4", "1", "Stk", "Heizkreisverteiler 3-fach", "HKV-3", 745.00),
      P("5", "2", "Stk", "Hocheffizienzpumpe", "HEP-25", 298.00),
      Marker("-", ""),
      Marker("t", "Titel 2: Heizk\xF6rper und Leitungen"),
      P("6", "6", "Stk", "Heizk\xF6rper Typ 22, 600 \xD7 1000 mm", "HK-22-6010", 189.00),
      P("7", "6", "Stk", "Thermostatkopf mit F\xFChler", "TK-01", 24.50),
      P("8", "6", "Stk", "Heizk\xF6rperventil \xBD Zoll", "HV-12", 18.90),
      P("9", "12", "Stk", "Wandkonsole verzinkt", "WK-Z", 6.40),
      P("10", "48", "m", "Kupferrohr 15 \xD7 1 mm", "CU-15", 9.80),
      P("11", "30", "m", "Kupferrohr 18 \xD7 1 mm", "CU-18", 12.60),
      P("12", "60", "Stk", "Pressfitting Bogen 90\xB0 15 mm", "PF-B15", 3.85),
      P("13", "78", "m", "D\xE4mmschlauch 15 mm, 9 mm Wandst\xE4rke", "DS-15", 2.10),
      P("14", "1", "psch", "Sp\xFCl- und F\xFCllarbeiten", "", 380.00),
      Marker("t", "Titel 3: Arbeitsleistung"),
      P("15", "32", "Std.", "Monteur Heizung/Sanit\xE4r", "LOHN-MON", 64.00),
      P("16", "8", "Std.", "Helfer", "LOHN-HLF", 46.00),
      P("17", "1", "psch", "Anfahrtspauschale", "FAHRT", 45.00),
      P("18", "1", "psch", "Entsorgung Altkessel inkl. \xD6ltank", "ENTS-OEL", 520.00),
      P("19", "1", "Stk", "Inbetriebnahme und Einweisung", "IBN", 165.00),
      Marker("a", "Alternativ: W\xE4rmepumpe Luft/Wasser 9 kW (nicht beauftragt)"),
      P("20", "2", "Stk", "Rauchwarnmelder", "RWM", 29.90),
      P("21", "4", "kg", "Dichtmittel, Hanf und Paste", "DICHT", 14.75),
      P("22", "1", "Set", "Kleinteile und Befestigungsmaterial", "KLEIN", 85.00),
      P("23", "1", "Stk", "Raumthermostat digital", "RT-D", 119.00),
      P("24", "1", "Stk",
        "Au\xDF"
        "enf\xFChler",
        "AF-1", 38.50),
      P("25", "10", "m", "Kabel NYM-J 3 \xD7 1,5 mm\xB2", "NYM-315", 1.95),
  };
  for (TDataGridLine& l : v) {
    if (l.Bezeichnung1 == "Sp\xFCl- und F\xFCllarbeiten")
      l.Second =
          "Sp\xFClen der Anlage nach DIN EN 14336,\r\n"
          "F\xFCllen mit aufbereitetem Wasser (VDI 2035),\r\n"
          "Entl\xFC"
          "ften aller Heizk\xF6rper und Einregulieren (hydraulischer Abgleich).";
    if (l.Artikelnummer == "GBK-24") l.Bezeichnung2 = "inkl. Regelung, witterungsgef\xFChrt";
    if (l.Artikelnummer == "HEP-25") l.Rabatt = "10";
  }
  return v;
}

std::vector<TDataGridLine> FirstInvoiceLines() {
  return {
      Marker("t", "1. Abschlagsrechnung"),
      P("1", "1", "Stk", "Gas-Brennwertkessel 24 kW", "GBK-24", 4890.00),
      P("2", "1", "Stk", "Abgassystem Edelstahl DN 80", "AGS-80", 612.50),
      P("3", "1", "Stk", "Ausdehnungsgef\xE4\xDF 35 l", "ADG-35", 89.90),
      P("4", "20", "m", "Kupferrohr 15 \xD7 1 mm", "CU-15", 9.80),
      P("5", "4", "Stk", "Heizk\xF6rper Typ 22, 600 \xD7 1000 mm", "HK-22-6010", 189.00),
      P("6", "16", "Std.", "Monteur Heizung/Sanit\xE4r", "LOHN-MON", 64.00),
      P("7", "1", "psch", "Anfahrtspauschale", "FAHRT", 45.00),
  };
}

std::vector<TDataGridLine> SecondInvoiceLines() {
  return {
      Marker("t", "2. Abschlagsrechnung"),
      // Typed in again by hand: another letter case, the same position.
      P("1", "18", "m", "kupferrohr 15 x 1 mm", "cu-15", 9.80),
      P("2", "2", "Stk", "Heizk\xF6rper Typ 22, 600 \xD7 1000 mm", "HK-22-6010", 189.00),
      P("3", "6", "Stk", "Thermostatkopf mit F\xFChler", "TK-01", 24.50),
      P("4", "60", "Stk", "Pressfitting Bogen 90\xB0 15 mm", "PF-B15", 3.85),
      P("5", "20", "Std.", "Monteur Heizung/Sanit\xE4r", "LOHN-MON", 64.00),
      P("6", "1", "psch", "SP\xDCL- UND F\xDCLLARBEITEN", "", 380.00),
  };
}

std::vector<TDataGridLine> OpenInvoiceLines() {
  return {
      Marker("t", "Schlussrechnung zum Auftrag AB-2024-0117"),
      P("1", "6", "Stk", "Heizk\xF6rperventil \xBD Zoll", "HV-12", 18.90),
      P("2", "12", "Stk", "Wandkonsole verzinkt", "WK-Z", 6.40),
      P("3", "24", "m", "Kupferrohr 18 \xD7 1 mm", "CU-18", 12.60),
      P("4", "8", "Std.", "Helfer", "LOHN-HLF", 46.00),
      P("5", "1", "Stk", "Inbetriebnahme und Einweisung", "IBN", 165.00),
  };
}

// ---- generated samples for benchmarks ----

// A small deterministic generator, so that every seed of the same size is the same.
struct Lcg {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33);
  }
  int Range(int lo, int hi) { return lo + static_cast<int>(Next() % (hi - lo + 1)); }
};

const char* const kWords[] = {"Kupferrohr",   "Pressfitting",  "Heizk\xF6rper", "Kugelhahn",
                              "Thermostat",   "D\xE4mmschale", "Rohrschelle",   "Verschraubung",
                              "Flexschlauch", "Sp\xFClkasten", "Waschtisch",    "Armatur",
                              "Ventil",       "Stellantrieb",  "Verteiler",     "F\xFChler"};
const char* const kUnits[] = {"Stk", "m", "Std.", "kg", "psch", "Set"};

TDataGridLine GeneratedLine(int index, Lcg& rng, bool reference) {
  char text[120], partNo[32], pos[16];
  std::snprintf(text, sizeof text,
                "%s Gr\xF6\xDF"
                "e %d",
                kWords[index % 16], index);
  std::snprintf(partNo, sizeof partNo, "A-%05d", index);
  std::snprintf(pos, sizeof pos, "%d", index + 1);
  const int quantity = reference ? rng.Range(10, 60) : rng.Range(1, 8);
  const double price = rng.Range(100, 99999) / 100.0;
  TDataGridLine l =
      PositionLine(pos, std::to_string(quantity), kUnits[index % 6], text, partNo, Money(price));
  return l;
}

}  // namespace

TDataGridLine PositionLine(const std::string& pos, const std::string& quantity,
                           const std::string& unit, const std::string& description,
                           const std::string& partNo, const std::string& price,
                           const std::string& kind) {
  TDataGridLine l;
  l.TypeLine = kind;
  l.Pos = pos;
  l.Stueck = quantity;
  l.Einheit = unit;
  l.Bezeichnung1 = description;
  l.Artikelnummer = partNo;
  l.Einzelbetrag = price;
  if (!quantity.empty() && !price.empty()) {
    l.SummeBetrag = Money(Number(quantity) * Number(price));
    l.Steuer = "19";
  }
  return l;
}

std::string OpenDocumentJson(const OpenDocumentSpec& doc) {
  TMVJSON root;
  TMVJSON& order = root.PutList("Order").AddObject();
  order.PutString("Date", doc.date);
  order.PutNumber("ID", doc.id);
  order.PutString("UID", doc.uid);
  order.PutString("PrintName", doc.printName);
  order.PutString("PrintUID", doc.printUid);
  order.PutNumber("InternalType", doc.type);
  order.PutString("InfoLines", doc.infoLines);
  TMVJSON& address = order.PutList("Adress").AddObject();
  address.PutString("AdressSmart", doc.address);
  address.PutString("Company", doc.address);
  TMVSONList& parts = order.PutList("Parts");
  for (const TDataGridLine& l : doc.parts) PutPart(parts, l);
  return GenerateJsonText(root);
}

std::string InfoLinesText(const std::vector<int32_t>& linkedIds) {
  std::string text;
  for (int32_t id : linkedIds) text += "Link," + std::to_string(id) + ",,,,,,,,,0\r\n";
  return text;
}

DocumentRow StoredDocumentRow(int32_t id, const std::string& number, int32_t type,
                              const std::string& date, const std::vector<TDataGridLine>& lines) {
  DocumentRow row;
  row.id = id;
  row.number = number;
  row.type = type;
  row.date = date;
  row.status = 1;
  const int name = type >= 1 && type <= 13 ? type : 1;
  static const char* const kNames[] = {"Rechnung",
                                       "Angebot",
                                       "Bestellung",
                                       "Brief",
                                       "Gutschrift",
                                       "Lieferschein",
                                       "Auftragsbest\xE4tigung",
                                       "Freier Typ1",
                                       "Freier Typ2",
                                       "Freier Typ3",
                                       "Freier Typ4",
                                       "Freier Typ5",
                                       "Multi"};
  row.printName = kNames[name - 1];
  row.addressName = kCustomer;
  StoredDocument stored = TPositionTableWriter().Write(lines);
  row.columnsFormat = std::move(stored.columnsFormat);
  row.datas = std::move(stored.datas);
  return row;
}

bool SeedSample(const SeedOptions& o, SeedResult* result, std::string* error) {
  if (o.folder.empty()) return Fail(error, "no database folder given");
  if (o.positions < 0 || o.invoices < 0 || o.invoicePositions < 0)
    return Fail(error, "sizes cannot be negative");
  RemoveFile(DocumentDatabase::FileOf(o.folder));
  DocumentDatabase db;
  if (!db.Open(o.folder, true, error) || !db.Begin(error)) return false;

  SeedResult r;
  std::vector<int32_t> links;
  auto insert = [&](const DocumentRow& row, int lines) {
    links.push_back(row.id);
    r.documents++;
    r.positions += lines;
    return db.Insert(row, error);
  };
  OpenDocumentSpec open;
  open.address = kCustomer;
  if (o.positions == 0) {
    if (!insert(
            StoredDocumentRow(1001, "AB-2024-0117", 7, "2024-02-12 09:30:00", ConfirmationLines()),
            25) ||
        !insert(
            StoredDocumentRow(1002, "RE-2024-0231", 1, "2024-03-04 10:15:00", FirstInvoiceLines()),
            7) ||
        !insert(
            StoredDocumentRow(1003, "RE-2024-0288", 1, "2024-03-22 14:05:00", SecondInvoiceLines()),
            6))
      return false;
    open.uid = open.printUid = "RE-2024-0305";
    open.id = 1004;
    open.date = "2024-04-08T11:20:00.000";
    open.parts = OpenInvoiceLines();
  } else {
    Lcg rng{0x5EED};
    std::vector<TDataGridLine> reference;
    for (int i = 0; i < o.positions; ++i) reference.push_back(GeneratedLine(i, rng, true));
    if (!insert(StoredDocumentRow(1001, "AB-2024-0001", 7, "2024-01-08 08:00:00", reference),
                o.positions))
      return false;
    int next = 0;
    for (int n = 0; n < o.invoices; ++n) {
      std::vector<TDataGridLine> lines;
      for (int j = 0; j < o.invoicePositions; ++j)
        lines.push_back(GeneratedLine(next++ % o.positions, rng, false));
      char number[32];
      std::snprintf(number, sizeof number, "RE-2024-%04d", n + 1);
      if (!insert(StoredDocumentRow(2001 + n, number, 1, "2024-02-01 12:00:00", lines),
                  o.invoicePositions))
        return false;
    }
    open.uid = open.printUid = "RE-2024-9999";
    open.id = 9001;
    open.date = "2024-06-28T16:45:00.000";
    for (int j = 0; j < 5 && j < o.positions; ++j)
      open.parts.push_back(GeneratedLine(j, rng, false));
  }
  if (!db.Commit(error)) return false;
  db.Close();

  open.infoLines = InfoLinesText(links);
  r.documentFile =
      (o.folder.back() == PathDelim ? o.folder : o.folder + PathDelim) + "open-document.json";
  if (!WriteWholeFile(r.documentFile, OpenDocumentJson(open)))
    return Fail(error, "cannot write " + r.documentFile);
  if (!WriteSystemUid(o.folder, o.systemUid, error)) return false;
  if (result) *result = r;
  return true;
}

}  // namespace dz::hostsim
