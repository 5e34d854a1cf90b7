#include "hostlink/VirtualDataSet.h"

#include <cmath>
#include <limits>
#include <utility>

#include "docdata/CSVReader.h"
#include "docdata/Cp1252.h"
#include "docdata/Exception.h"
#include "docdata/IntText.h"
#include "docdata/NumberFormat.h"
#include "hostlink/BinaryStreamFormat.h"

namespace dz {

TValueKind ValueKindOf(int dataType) {
  switch (dataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
      return TValueKind::Integer;
    case ftBoolean:
      return TValueKind::Boolean;
    case ftFloat:
      return TValueKind::Float;
    case ftCurrency:
    case ftBCD:
      return TValueKind::Currency;
    case ftDate:
    case ftTime:
    case ftDateTime:
      return TValueKind::DateTime;
    case ftLargeint:
      return TValueKind::Largeint;
    case ftWideString:
      return TValueKind::WideText;
    default:
      return TValueKind::Text;
  }
}

namespace {

std::string CurrencyText(int64_t scaled) {
  const bool neg = scaled < 0;
  uint64_t v = neg ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string out = std::to_string(v / 10000);
  unsigned frac = static_cast<unsigned>(v % 10000);
  if (frac != 0) {
    std::string digits = std::to_string(frac + 10000).substr(1);
    while (digits.back() == '0') digits.pop_back();
    out += Fmt().DecimalSeparator;
    out += digits;
  }
  return neg ? "-" + out : out;
}

bool IsText(TValueKind k) {
  return k == TValueKind::Text || k == TValueKind::WideText;
}

int32_t RoundToInt32(long double v) {
  if (!(v > -2147483648.5L && v < 2147483647.5L)) return 0;
  return static_cast<int32_t>(std::nearbyint(v));
}

}  // namespace

// ----- TField -----

const std::string& TField::FieldName() const {
  return owner_->defs_[index_].Name;
}
int TField::DataType() const {
  return owner_->defs_[index_].DataType;
}
int TField::Size() const {
  return owner_->defs_[index_].Size;
}

const TFieldValue* TField::Current() const {
  return owner_->CurrentValue(index_);
}

bool TField::IsNull() const {
  const TFieldValue* v = Current();
  return v == nullptr || v->Null;
}

int32_t TField::AsInteger() const {
  const TFieldValue* v = Current();
  if (v == nullptr || v->Null) return 0;
  switch (owner_->kinds_[index_]) {
    case TValueKind::Integer:
    case TValueKind::Boolean:
    case TValueKind::Largeint:
      return static_cast<int32_t>(v->Int);
    case TValueKind::Currency:
      return RoundToInt32(static_cast<long double>(v->Int) / 10000);
    case TValueKind::Float:
    case TValueKind::DateTime:
      return RoundToInt32(v->Float);
    case TValueKind::WideText:
    case TValueKind::Text:
      break;
  }
  return StrToInt(v->Text);
}

std::string TField::AsString() const {
  const TFieldValue* v = Current();
  if (v == nullptr || v->Null) return {};
  switch (owner_->kinds_[index_]) {
    case TValueKind::Integer:
    case TValueKind::Largeint:
      return std::to_string(v->Int);
    case TValueKind::Boolean:
      return v->Int ? "True" : "False";
    case TValueKind::Currency:
      return CurrencyText(v->Int);
    case TValueKind::Float:
    case TValueKind::DateTime:
      return T(v->Float);
    case TValueKind::WideText:
    case TValueKind::Text:
      break;
  }
  return v->Text;
}

std::string TField::TakeString() {
  const TFieldValue* v = Current();
  if (v != nullptr && !v->Null &&
      (owner_->kinds_[index_] == TValueKind::Text ||
       owner_->kinds_[index_] == TValueKind::WideText))
    return std::move(const_cast<TFieldValue*>(v)->Text);  // the set's own value
  return AsString();
}

long double TField::AsFloat() const {
  const TFieldValue* v = Current();
  if (v == nullptr || v->Null) return 0;
  switch (owner_->kinds_[index_]) {
    case TValueKind::Integer:
    case TValueKind::Boolean:
    case TValueKind::Largeint:
      return static_cast<long double>(v->Int);
    case TValueKind::Currency:
      return static_cast<long double>(v->Int) / 10000;
    case TValueKind::Float:
    case TValueKind::DateTime:
      return v->Float;
    case TValueKind::WideText:
    case TValueKind::Text:
      break;
  }
  return StrToFloatDef(v->Text, 0);
}

double TField::AsDateTime() const {
  const TFieldValue* v = Current();
  if (v == nullptr || v->Null || IsText(owner_->kinds_[index_])) return 0;
  return static_cast<double>(AsFloat());
}

bool TField::AsBoolean() const {
  const TFieldValue* v = Current();
  if (v == nullptr || v->Null) return false;
  if (IsText(owner_->kinds_[index_])) return SameText(v->Text, "True");
  return AsFloat() != 0;
}

// ----- TVirtualDataSet -----

TVirtualDataSet::TVirtualDataSet() = default;
TVirtualDataSet::~TVirtualDataSet() = default;

void TVirtualDataSet::ClearFields() {
  Close();
  fields_.clear();
  kinds_.clear();
  defs_.clear();
}

void TVirtualDataSet::AddFieldDef(std::string name, int dataType, int size) {
  Close();
  fields_.clear();
  kinds_.clear();
  defs_.push_back(TFieldDef{std::move(name), dataType, size});
}

void TVirtualDataSet::Open() {
  if (active_) return;
  fields_.clear();
  kinds_.clear();
  for (size_t i = 0; i < defs_.size(); ++i) {
    fields_.push_back(std::unique_ptr<TField>(new TField(this, i)));
    kinds_.push_back(ValueKindOf(defs_[i].DataType));
  }
  values_.clear();
  recordCount_ = 0;
  cursor_ = 0;
  active_ = true;
}

void TVirtualDataSet::Close() {
  values_.clear();
  values_.shrink_to_fit();
  recordCount_ = 0;
  cursor_ = 0;
  active_ = false;
}

void TVirtualDataSet::SetFieldDefsFromText(std::string_view text) {
  ClearFields();
  TCSVReader reader(text);
  std::vector<std::string> rec;
  while (reader.Next(rec)) {
    for (auto& f : rec) f = std::string(TrimControl(UnescapeFieldText(f)));
    auto col = [&](size_t i) -> std::string_view {
      return i < rec.size() ? std::string_view(rec[i]) : std::string_view();
    };
    int type = StrToIntDef(col(1), 0);
    int size = StrToIntDef(col(2), 0);
    // The host lists its record key with a type of its own choosing; it is read as a plain
    // 32-bit integer.
    if (col(0) == "ID" && size == 0) type = ftInteger;
    defs_.push_back(TFieldDef{std::string(col(0)), type, size});
  }
  Open();
}

TField* TVirtualDataSet::FindField(std::string_view name) {
  for (auto& f : fields_)
    if (SameText(defs_[f->index_].Name, name)) return f.get();
  return nullptr;
}

TField& TVirtualDataSet::FieldByName(std::string_view name) {
  TField* f = FindField(name);
  if (f == nullptr) throw Exception("Das Feld '" + std::string(name) + "' wurde nicht gefunden");
  return *f;
}

int TVirtualDataSet::LoadFromFile(TBinaryStreamFormat& format, const std::string& path) {
  Open();
  int n = format.LoadFromFile(*this, path);
  First();
  return n;
}

void TVirtualDataSet::ReserveRecords(size_t extra) {
  const size_t fc = FieldCount();
  if (fc == 0) return;
  // Never reserve more cells than a vector can address; the estimate is only a hint.
  if (extra > values_.max_size() / fc - recordCount_) return;
  values_.reserve((recordCount_ + extra) * fc);
}

TFieldValue* TVirtualDataSet::AppendRecord() {
  const size_t fc = FieldCount();
  values_.resize((recordCount_ + 1) * fc);
  ++recordCount_;
  return fc == 0 ? nullptr : &values_[(recordCount_ - 1) * fc];
}

void TVirtualDataSet::RecordComplete() {
  if (!observer_ || recordCount_ == 0) return;
  cursor_ = recordCount_ - 1;
  observer_(*this);
}

void TVirtualDataSet::DropLastRecord() {
  if (recordCount_ == 0) return;
  --recordCount_;
  values_.resize(recordCount_ * FieldCount());
  if (cursor_ > recordCount_) cursor_ = recordCount_;
}

const TFieldValue* TVirtualDataSet::CurrentValue(size_t field) const {
  if (cursor_ >= recordCount_ || field >= defs_.size()) return nullptr;
  return &values_[cursor_ * defs_.size() + field];
}

}  // namespace dz
