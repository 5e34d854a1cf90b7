#include "hostlink/VirtualDataSet.h"

#include <cmath>
#include <limits>
#include <utility>

#include "docdata/Cp1252.h"
#include "docdata/Exception.h"
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

// Decimal integer after trimming blanks and control characters; `ok` false for anything
// else (empty text, stray characters, overflow).
int64_t ParseInteger(std::string_view text, bool& ok) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  ok = false;
  if (b == e) return 0;
  bool neg = false;
  if (text[b] == '+' || text[b] == '-') {
    neg = text[b] == '-';
    ++b;
  }
  if (b == e) return 0;
  uint64_t v = 0;
  const uint64_t limit = neg ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (size_t i = b; i < e; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return 0;
    const unsigned d = static_cast<unsigned>(c - '0');
    if (v > (limit - d) / 10) return 0;
    v = v * 10 + d;
  }
  ok = true;
  return neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
}

int StrToIntDef0(std::string_view text) {
  bool ok = false;
  int64_t v = ParseInteger(text, ok);
  if (!ok || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return 0;
  return static_cast<int>(v);
}

// "%%" "%", "%0" NUL, "%c" CR, "%n" LF; a lone "%" at the end is dropped; then blanks
// and control characters are trimmed from both ends.
std::string UnescapeAndTrim(const std::string& field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 >= field.size()) break;
    char n = field[++i];
    switch (n) {
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
        out += n;
        break;
    }
  }
  size_t b = 0, e = out.size();
  while (b < e && static_cast<unsigned char>(out[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(out[e - 1]) <= 32) --e;
  return out.substr(b, e - b);
}

// The host's comma-separated lines: a record ends at CR and the character after it (the LF)
// is skipped; a record counts only when that character exists, so text that ends inside a
// record, or right after its CR, ends the reading without that record. Quoted fields run to
// the matching quote, with "" standing for one quote.
std::vector<std::vector<std::string>> ReadCommaRecords(std::string_view text) {
  std::vector<std::vector<std::string>> records;
  const size_t n = text.size();
  size_t p = 0;
  while (p < n) {
    std::vector<std::string> fields;
    if (text[p] != '\r') {
      for (;;) {
        std::string field;
        if (text[p] == '"') {
          ++p;
          for (;;) {
            if (p >= n) return records;
            if (text[p] == '"') {
              if (p + 1 < n && text[p + 1] == '"') {
                field += '"';
                p += 2;
                continue;
              }
              ++p;
              break;
            }
            field += text[p++];
          }
        }
        // Unquoted text, or whatever follows a closing quote, up to the separator.
        while (p < n && text[p] != ',' && text[p] != '\r') field += text[p++];
        if (p >= n) return records;
        fields.push_back(UnescapeAndTrim(field));
        if (text[p] == '\r') break;
        ++p;  // the comma
        if (p >= n) return records;
      }
    }
    // text[p] is the record's CR; it counts only with one more character after it.
    if (p + 1 >= n) return records;
    p += 2;
    records.push_back(std::move(fields));
  }
  return records;
}

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
  bool ok = false;
  int64_t n = ParseInteger(v->Text, ok);
  if (!ok || n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
    throw Exception("'" + v->Text + "' ist kein g\xFCltiger Integerwert");
  return static_cast<int32_t>(n);
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
  for (auto& rec : ReadCommaRecords(text)) {
    auto col = [&](size_t i) -> std::string_view {
      return i < rec.size() ? std::string_view(rec[i]) : std::string_view();
    };
    int type = StrToIntDef0(col(1));
    int size = StrToIntDef0(col(2));
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
