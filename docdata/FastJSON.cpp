#include "docdata/FastJSON.h"

#include <cmath>
#include <exception>

#include "docdata/Exception.h"
#include "docdata/IntText.h"
#include "docdata/JsonReader.h"
#include "docdata/NumberFormat.h"
#include "platform/FileRead.h"
#include "platform/Platform.h"

namespace dz {

namespace {

// The host's open document as a file: a large order is a few MiB; far beyond that the name
// points at something that is no document, and reading it would only eat memory.
constexpr std::size_t kMaxJsonFileBytes = std::size_t{256} << 20;

bool SameAsciiText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) {
      if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
      if (x != y) return false;
    }
  }
  return true;
}

[[noreturn]] void RaiseListIndexError(int64_t index) {
  throw Exception(
      "Der Index der Liste \xFC"
      "berschreitet das Maximum (" +
      std::to_string(index) + ")");
}

// A directory is no document file.
bool IsExistingFile(const std::string& path) {
  return FileExists(path) && !IsDirectory(path);
}

}  // namespace

const char* JsonValueKindName(TJsonValueKind kind) {
  switch (kind) {
    case jvNone:
      return "jvNone";
    case jvNull:
      return "jvNull";
    case jvString:
      return "jvString";
    case jvNumber:
      return "jvNumber";
    case jvBoolean:
      return "jvBoolean";
    case jvObject:
      return "jvObject";
    case jvArray:
      return "jvArray";
  }
  return "jvNone";
}

// --- TJsonBase ------------------------------------------------------------------------

std::string TJsonBase::EnclosingPairName() const {
  for (const TJsonBase* n = parent_; n; n = n->parent_)
    if (auto* pair = dynamic_cast<const TJsonPair*>(n)) return pair->Name();
  return std::string();
}

void TJsonBase::RaiseError(const std::string& detail) const {
  throw Exception(std::string("<") + ClassName() + ">" + detail);
}

void TJsonBase::RaiseParseError(std::string_view text) const {
  RaiseError("\"" + EnclosingPairName() + "\" parse error: " + std::string(text.substr(0, 100)) +
             " ..");
}

void TJsonBase::RaiseValueTypeError(TJsonValueKind have, TJsonValueKind want) const {
  RaiseError("\"" + EnclosingPairName() + "\" value type error: " + JsonValueKindName(have) +
             " to " + JsonValueKindName(want));
}

// --- TJsonValue -----------------------------------------------------------------------

TJsonValue::~TJsonValue() = default;

void TJsonValue::Reset() {
  object_.reset();
  array_.reset();
  text_.clear();
  number_ = 0;
  boolean_ = false;
}

void TJsonValue::SetNull() {
  Reset();
  kind_ = jvNull;
}

void TJsonValue::SetString(std::string text) {
  Reset();
  text_ = std::move(text);
  kind_ = jvString;
}

void TJsonValue::SetNumber(long double value) {
  Reset();
  number_ = value;
  kind_ = jvNumber;
}

void TJsonValue::SetBoolean(bool value) {
  Reset();
  boolean_ = value;
  kind_ = jvBoolean;
}

TJsonObject& TJsonValue::SetObject() {
  Reset();
  object_ = std::make_unique<TJsonObject>(this);
  kind_ = jvObject;
  return *object_;
}

TJsonArray& TJsonValue::SetArray() {
  Reset();
  array_ = std::make_unique<TJsonArray>(this);
  kind_ = jvArray;
  return *array_;
}

TJsonArray& TJsonValue::AsArray() {
  if (kind_ == jvNone) return SetArray();
  if (kind_ != jvArray) RaiseValueTypeError(kind_, jvArray);
  return *array_;
}

TJsonObject& TJsonValue::AsObject() {
  if (kind_ == jvNone) return SetObject();
  if (kind_ != jvObject) RaiseValueTypeError(kind_, jvObject);
  return *object_;
}

std::string TJsonValue::AsString() const {
  switch (kind_) {
    case jvString:
      return text_;
    case jvNumber:
      return JsonNumberText(number_);
    case jvBoolean:
      return boolean_ ? "true" : "false";
    case jvNone:
    case jvNull:
      return std::string();
    default:
      RaiseValueTypeError(kind_, jvString);
  }
}

int32_t TJsonValue::AsInteger() const {
  switch (kind_) {
    case jvString:
      return StrToInt(text_);
    case jvNumber: {
      long double t = std::trunc(number_);
      // A value outside the range has no integer; a silent wrap would hand out a wrong ID.
      if (!(t >= INT32_MIN && t <= INT32_MAX)) StrToInt(JsonNumberText(number_));
      return static_cast<int32_t>(t);
    }
    case jvBoolean:
      return boolean_ ? 1 : 0;
    case jvNone:
    case jvNull:
      return 0;
    default:
      RaiseValueTypeError(kind_, jvNumber);
  }
}

// --- TJsonObject ----------------------------------------------------------------------

TJsonPair& TJsonObject::Add(std::string name) {
  pairs_.push_back(std::make_unique<TJsonPair>(this, std::move(name)));
  return *pairs_.back();
}

TJsonValue* TJsonObject::Find(std::string_view name) {
  for (auto& p : pairs_)
    if (SameAsciiText(p->Name(), name)) return &p->Value();
  return nullptr;
}

TJsonValue& TJsonObject::Member(std::string_view name) {
  if (TJsonValue* v = Find(name)) return *v;
  if (!autoCreate_) RaiseError(std::string(name) + " not found");
  return Add(std::string(name)).Value();
}

// --- TJsonArray -----------------------------------------------------------------------

TJsonValue& TJsonArray::Item(int64_t index) {
  if (index < 0 || static_cast<uint64_t>(index) >= items_.size()) RaiseListIndexError(index);
  return *items_[static_cast<size_t>(index)];
}

const TJsonValue& TJsonArray::Item(int64_t index) const {
  if (index < 0 || static_cast<uint64_t>(index) >= items_.size()) RaiseListIndexError(index);
  return *items_[static_cast<size_t>(index)];
}

TJsonValue& TJsonArray::Add() {
  items_.push_back(std::make_unique<TJsonValue>(this));
  return *items_.back();
}

// --- TFastJSON ------------------------------------------------------------------------

TFastJSON::~TFastJSON() = default;

void TFastJSON::Clear() {
  object_.reset();
  array_.reset();
}

TJsonStructType TFastJSON::StructType() const {
  if (object_) return jsObject;
  if (array_) return jsArray;
  return jsNone;
}

TJsonObject& TFastJSON::SetObject() {
  Clear();
  object_ = std::make_unique<TJsonObject>(this);
  return *object_;
}

TJsonArray& TFastJSON::SetArray() {
  Clear();
  array_ = std::make_unique<TJsonArray>(this);
  return *array_;
}

TJsonValue& TFastJSON::Member(std::string_view name) {
  if (array_) RaiseError("json struct type is not jsObject");
  if (!object_) SetObject();
  return object_->Member(name);
}

void TFastJSON::Parse(std::string_view text) {
  Clear();
  if (ParseSinglePass(text, *this)) return;
  Clear();
  ParseBySplitting(text, *this);
}

void TFastJSON::LoadFromFile(const std::string& path, bool tryBackup, bool reraise) {
  Clear();
  if (!IsExistingFile(path)) return;
  std::exception_ptr failure;
  std::string refusal;
  try {
    std::string content;
    switch (ReadRegularFile(path, kMaxJsonFileBytes, content)) {
      case FileReadResult::Ok:
        break;
      case FileReadResult::CannotOpen:
        throw Exception("Datei " + path + " kann nicht gelesen werden");
      // Refusals, not damage: no backup makes such a name readable, and the reason must
      // reach the user rather than a lookup failure in an empty tree.
      case FileReadResult::NotRegular:
        refusal = "Die Datei " + path + " ist keine gew\xF6hnliche Datei";
        throw Exception(refusal);
      case FileReadResult::TooLarge:
        refusal = "Die Datei " + path +
                  " ist gr\xF6\xDF"
                  "er als " +
                  std::to_string(kMaxJsonFileBytes >> 20) + " MiB";
        throw Exception(refusal);
    }
    size_t nul = content.find('\0');
    if (nul != std::string::npos) content.resize(nul);
    Parse(content);
    return;
  } catch (const std::exception&) {
    failure = std::current_exception();
  }
  if (!refusal.empty()) throw Exception(refusal);
  bool loaded = false;
  if (tryBackup) {
    // The backup of a backup is the file itself: trying it again would never end.
    std::string backup = JsonBackupPath(path);
    if (backup != path && IsExistingFile(backup)) {
      LoadFromFile(backup, false, false);
      loaded = StructType() != jsNone;
    }
  }
  if (!loaded) Clear();
  if (reraise) std::rethrow_exception(failure);
}

// --- helpers --------------------------------------------------------------------------

std::string JsonNumberText(long double value) {
  std::string s = T(value);
  if (!std::isfinite(value)) return s;
  // T() writes the process-wide decimal separator; the host's JSON always uses ".".
  for (char& c : s)
    if (!((c >= '0' && c <= '9') || c == '-' || c == 'E')) c = '.';
  return s;
}

std::string JsonBackupPath(const std::string& path) {
  size_t slash = path.rfind(PathDelim);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return path + ".~json";
  return path.substr(0, dot) + ".~json";
}

}  // namespace dz
