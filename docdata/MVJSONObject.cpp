#include "docdata/MVJSONObject.h"

#include <cstdint>

#include "docdata/IntText.h"

namespace dz {

const std::array<const char*, 3> kJsonTopLevelKeys = {"Adress", "Order", "Parts"};

const std::array<const char*, 44> kJsonAddressKeys = {"CustomerNumber",
                                                      "AdressFull",
                                                      "AdressSmart",
                                                      "Company",
                                                      "Salutation",
                                                      "Salutation1",
                                                      "Salutation2",
                                                      "FirstName",
                                                      "LastName",
                                                      "Street",
                                                      "ZipCode",
                                                      "Town",
                                                      "Country",
                                                      "AdressDeliverFull",
                                                      "DeliverCompany",
                                                      "DeliverSalutation1",
                                                      "DeliverSalutation2",
                                                      "DeliverFirstName",
                                                      "DeliverLastName",
                                                      "DeliverStreet",
                                                      "DeliverZipCode",
                                                      "DeliverTown",
                                                      "DeliverCountry",
                                                      "Group",
                                                      "R1",
                                                      "R2",
                                                      "R3",
                                                      "R4",
                                                      "R5",
                                                      "R6",
                                                      "R7",
                                                      "R8",
                                                      "R9",
                                                      "R10",
                                                      "L1",
                                                      "L2",
                                                      "L3",
                                                      "L4",
                                                      "L5",
                                                      "L6",
                                                      "L7",
                                                      "L8",
                                                      "L9",
                                                      "L10"};

const std::array<const char*, 27> kJsonOrderKeys = {"Date",
                                                    "ID",
                                                    "UID",
                                                    "PrintName",
                                                    "InternalStatus",
                                                    "InternalType",
                                                    "Human.Creator",
                                                    "Human.Editor",
                                                    "UserName",
                                                    "RessourceName",
                                                    "Info1",
                                                    "Info2",
                                                    "Info3",
                                                    "Info4",
                                                    "Info5",
                                                    "Info6",
                                                    "Info7",
                                                    "Info8",
                                                    "Info9",
                                                    "Info10",
                                                    "Intern",
                                                    "HeaderText",
                                                    "ExHeader",
                                                    "FooterText",
                                                    "ReferenzText",
                                                    "ReferenzDate",
                                                    "NettoPrices"};

const std::array<const char*, 20> kJsonPositionKeys = {
    "CurrentRow",   "Position",     "Quantity", "Unit",
    "Description1", "Description2", "Number",   "DeliverNumber",
    "SerialNumber", "LongText",     "Price",    "Rabatt",
    "TaxRate",      "Total",        "TypLine",  "User",
    "Row",          "ID",           "Intern",   "L2"};

const std::array<const char*, 13> kDocumentTypeNames = {"RECHNUNG",
                                                        "ANGEBOT",
                                                        "BESTELLUNG",
                                                        "BRIEF",
                                                        "GUTSCHRIFT",
                                                        "LIEFERSCHEIN",
                                                        "AUFTRAGSBEST\xC4TIGUNG",
                                                        "FREIER TYP1",
                                                        "FREIER TYP2",
                                                        "FREIER TYP3",
                                                        "FREIER TYP4",
                                                        "FREIER TYP5",
                                                        "MULTI"};

namespace {

const char kInvalidCaption[] = "Invalid JSON Data";

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool LeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Characters from..from+len-1 (1-based, like the positions in the date text) as an
// integer; a part cut short by the end of the text converts as far as it goes.
bool Part(std::string_view text, size_t from, size_t len, int32_t& out) {
  std::string_view piece = from - 1 < text.size() ? text.substr(from - 1, len) : std::string_view();
  return TryStrToInt(piece, out);
}

}  // namespace

double JsonDateToDateTime(std::string_view text) {
  int32_t y, mo, d, h, mi, s, ms;
  if (!Part(text, 1, 4, y) || !Part(text, 6, 2, mo) || !Part(text, 9, 2, d) ||
      !Part(text, 12, 2, h) || !Part(text, 15, 2, mi) || !Part(text, 18, 2, s) ||
      !Part(text, 21, 3, ms))
    return 0;
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || y > 9999 || mo < 1 || mo > 12 || d < 1) return 0;
  int dim = kMonthDays[mo - 1] + (mo == 2 && LeapYear(y) ? 1 : 0);
  if (d > dim || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || ms < 0 || ms > 999)
    return 0;
  const double days =
      static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) -
                          DaysFromCivil(1899, 12, 30));
  const double time = (((h * 60.0 + mi) * 60.0 + s) * 1000.0 + ms) / 86400000.0;
  // Before the epoch the time of day still counts away from the day's start.
  return days < 0 ? days - time : days + time;
}

bool IsPositionKind(std::string_view kind) {
  size_t b = 0, e = kind.size();
  while (b < e && static_cast<unsigned char>(kind[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(kind[e - 1]) <= 32) --e;
  if (b == e) return true;
  const auto c = static_cast<unsigned char>(kind[b]);
  return !(c == '-' || c == 'a' || c == 't' || c == 0x81);
}

void TMVJSONObject::Load(const std::string& text, bool textIsJson, bool tryBackup) {
  caption_ = kInvalidCaption;
  order_ = address_ = nullptr;
  positions_ = nullptr;
  tree_.Clear();
  if (text.empty()) return;
  if (textIsJson)
    tree_.Parse(text);
  else
    tree_.LoadFromFile(text, tryBackup, false);
  order_ = &tree_.Member("Order").AsArray().Item(0);
  address_ = &order_->AsObject().Member("Adress").AsArray().Item(0);
  positions_ = &order_->AsObject().Member("Parts").AsArray();
  TJsonObject& order = order_->AsObject();
  caption_ = order.Member("PrintName").AsString() + " " + order.Member("PrintUID").AsString() +
             " " + address_->AsObject().Member("adresssmart").AsString();
}

std::string TMVJSONObject::DocumentNumber() const {
  if (!order_) return std::string();
  std::string uid = order_->AsObject().Member("UID").AsString();
  return uid == "-1" ? "Neu" : uid;
}

double TMVJSONObject::Date() const {
  if (!order_) return 0;
  return JsonDateToDateTime(order_->AsObject().Member("Date").AsString());
}

void FillLineFromPosition(TJsonValue& position, TDataGridLine& line) {
  TJsonObject& o = position.AsObject();
  line.Stueck = o.Member("Quantity").AsString();
  line.Einheit = o.Member("Unit").AsString();
  line.Bezeichnung1 = o.Member("Description1").AsString();
  line.Bezeichnung2 = o.Member("Description2").AsString();
  line.BestellNummer = o.Member("DeliverNumber").AsString();
  line.Artikelnummer = o.Member("Number").AsString();
  line.Seriennummer = o.Member("SerialNumber").AsString();
  line.Einzelbetrag = o.Member("Price").AsString();
  line.Steuer = o.Member("TaxRate").AsString();
  line.SummeBetrag = o.Member("Total").AsString();
  line.intern = o.Member("Intern").AsString();
  line.ID_Artikel = o.Member("ID").AsString();
  line.Rabatt = o.Member("Rabatt").AsString();
  line.Second = o.Member("LongText").AsString();
  line.TypeLine = o.Member("TypLine").AsString();
  line.Pos = o.Member("Position").AsString();
  line.User = o.Member("User").AsString();
  line.ExtraData = line.User;
  line.DM = false;
  line.Isnetto = true;
  NormalizeLineNumbers(line);
}

bool TMVJSONObject::IsPosition(TJsonValue& part) {
  return IsPositionKind(part.AsObject().Member("TypLine").AsString());
}

}  // namespace dz
