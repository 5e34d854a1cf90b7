#include "docdata/DataGridLine.h"

#include "docdata/NumberFormat.h"

namespace dz {

namespace {

constexpr PropInfo kLineProps[] = {
    {"Stueck", PropType::Text},        {"Einheit", PropType::Text},
    {"Bezeichnung1", PropType::Text},  {"Bezeichnung2", PropType::Text},
    {"BestellNummer", PropType::Text}, {"Seriennummer", PropType::Text},
    {"Artikelnummer", PropType::Text}, {"Einzelbetrag", PropType::Text},
    {"Steuer", PropType::Text},        {"SummeBetrag", PropType::Text},
    {"intern", PropType::Text},        {"ID_Artikel", PropType::Text},
    {"Rabatt", PropType::Text},        {"Second", PropType::Text},
    {"DM", PropType::Boolean},         {"TypeLine", PropType::Text},
    {"Isnetto", PropType::Boolean},    {"User", PropType::Text},
    {"Row", PropType::Integer},        {"Rows", PropType::Text},
    {"Hash", PropType::Text},          {"Pos", PropType::Text},
    {"ExtraData", PropType::Text},     {"L2", PropType::Text},
};

// Ends an update of the owning collection however the scope is left.
class UpdateScope {
 public:
  explicit UpdateScope(Collection* c) : c_(c) {
    if (c_) c_->BeginUpdate();
  }
  ~UpdateScope() {
    if (c_) c_->EndUpdate();
  }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  Collection* c_;
};

}  // namespace

TDataGridLine::TDataGridLine(const TDataGridLine& other) : Persistent(other), owner_(nullptr) {
  CopyFields(other);
}

TDataGridLine& TDataGridLine::operator=(const TDataGridLine& other) {
  if (this != &other) CopyFields(other);
  return *this;
}

std::span<const PropInfo> TDataGridLine::Properties() const {
  return kLineProps;
}

std::span<const PropInfo> LineProperties() {
  return kLineProps;
}

PropRef TDataGridLine::Property(size_t index) {
  switch (index) {
    case 0:
      return &Stueck;
    case 1:
      return &Einheit;
    case 2:
      return &Bezeichnung1;
    case 3:
      return &Bezeichnung2;
    case 4:
      return &BestellNummer;
    case 5:
      return &Seriennummer;
    case 6:
      return &Artikelnummer;
    case 7:
      return &Einzelbetrag;
    case 8:
      return &Steuer;
    case 9:
      return &SummeBetrag;
    case 10:
      return &intern;
    case 11:
      return &ID_Artikel;
    case 12:
      return &Rabatt;
    case 13:
      return &Second;
    case 14:
      return &DM;
    case 15:
      return &TypeLine;
    case 16:
      return &Isnetto;
    case 17:
      return &User;
    case 18:
      return &Row;
    case 19:
      return &Rows;
    case 20:
      return &Hash;
    case 21:
      return &Pos;
    case 22:
      return &ExtraData;
    default:
      return &L2;
  }
}

void TDataGridLine::CopyFields(const TDataGridLine& s) {
  Stueck = s.Stueck;
  Einheit = s.Einheit;
  Bezeichnung1 = s.Bezeichnung1;
  Bezeichnung2 = s.Bezeichnung2;
  BestellNummer = s.BestellNummer;
  Seriennummer = s.Seriennummer;
  Artikelnummer = s.Artikelnummer;
  Einzelbetrag = s.Einzelbetrag;
  Steuer = s.Steuer;
  SummeBetrag = s.SummeBetrag;
  intern = s.intern;
  ID_Artikel = s.ID_Artikel;
  Rabatt = s.Rabatt;
  Second = s.Second;
  DM = s.DM;
  TypeLine = s.TypeLine;
  Isnetto = s.Isnetto;
  User = s.User;
  Row = s.Row;
  Rows = s.Rows;
  Hash = s.Hash;
  Pos = s.Pos;
  ExtraData = s.ExtraData;
  L2 = s.L2;
}

void TDataGridLine::Assign(const Persistent& source) {
  auto* line = dynamic_cast<const TDataGridLine*>(&source);
  if (!line) {
    Persistent::Assign(source);
    return;
  }
  UpdateScope scope(owner_);
  if (line != this) CopyFields(*line);
}

bool TDataGridLine::SameFields(const TDataGridLine& o) const {
  return Stueck == o.Stueck && Einheit == o.Einheit && Bezeichnung1 == o.Bezeichnung1 &&
         Bezeichnung2 == o.Bezeichnung2 && BestellNummer == o.BestellNummer &&
         Seriennummer == o.Seriennummer && Artikelnummer == o.Artikelnummer &&
         Einzelbetrag == o.Einzelbetrag && Steuer == o.Steuer && SummeBetrag == o.SummeBetrag &&
         intern == o.intern && ID_Artikel == o.ID_Artikel && Rabatt == o.Rabatt &&
         Second == o.Second && DM == o.DM && TypeLine == o.TypeLine && Isnetto == o.Isnetto &&
         User == o.User && Row == o.Row && Rows == o.Rows && Hash == o.Hash && Pos == o.Pos &&
         ExtraData == o.ExtraData && L2 == o.L2;
}

void NormalizeLineNumbers(TDataGridLine& line) {
  line.Stueck = NormalizeNumber(line.Stueck);
  line.Einzelbetrag = NormalizeNumber(line.Einzelbetrag);
  line.Steuer = NormalizeNumber(line.Steuer);
  line.SummeBetrag = NormalizeNumber(line.SummeBetrag);
  line.Rabatt = NormalizeNumber(line.Rabatt);
}

std::string RowKindOf(std::string_view kindText) {
  if (kindText.empty() || static_cast<unsigned char>(kindText[0]) <= ' ') return std::string();
  return std::string(1, kindText[0]);
}

bool IsMarkerKind(std::string_view kind) {
  return kind == "a" || kind == "t" || kind == "-" || kind == "\x81";
}

}  // namespace dz
