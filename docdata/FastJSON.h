#pragma once
// The JSON document tree in which the host hands us its open document.
//
// The host's JSON is 8-bit Windows-1252 text and its dialect differs from the standard:
// a trailing comma is allowed, the literals ignore letter case, "\u" escapes give one
// byte (0x20AC gives 0x80, the euro sign), and a string may hold unescaped quotes. The
// reader therefore follows the rules of the splitting reader the host's files were made
// for (JsonReader.h), with a single-pass reader in front of it for speed.
//
// Ownership: a node owns its children; TFastJSON owns the whole tree, and Clear, Parse
// and LoadFromFile free the previous tree (references into it become invalid). Lookups
// with automatic member creation add jvNone members to the tree.
//
// Failures raise dz::Exception. Apart from the list-index error and "InvalidHexNumber"
// the message is "<ClassName>" followed by the detail text, for example
// `<TJsonValue>"Order" value type error: jvObject to jvArray`.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

enum TJsonValueKind { jvNone, jvNull, jvString, jvNumber, jvBoolean, jvObject, jvArray };
enum TJsonStructType { jsNone, jsArray, jsObject };

const char* JsonValueKindName(TJsonValueKind kind);

class TJsonObject;
class TJsonArray;

class TJsonBase {
 public:
  explicit TJsonBase(TJsonBase* parent) : parent_(parent) {}
  virtual ~TJsonBase() = default;
  TJsonBase(const TJsonBase&) = delete;
  TJsonBase& operator=(const TJsonBase&) = delete;

  TJsonBase* Parent() const { return parent_; }
  virtual const char* ClassName() const = 0;

  // Raises "<ClassName>"name" parse error: <first 100 characters of text> ..", with the
  // name of the nearest pair enclosing this node.
  [[noreturn]] void RaiseParseError(std::string_view text) const;
  [[noreturn]] void RaiseValueTypeError(TJsonValueKind have, TJsonValueKind want) const;
  [[noreturn]] void RaiseError(const std::string& detail) const;
  // Name of the nearest TJsonPair above this node; empty at the top.
  std::string EnclosingPairName() const;

 private:
  TJsonBase* parent_;
};

class TJsonValue : public TJsonBase {
 public:
  explicit TJsonValue(TJsonBase* parent) : TJsonBase(parent) {}
  ~TJsonValue() override;
  const char* ClassName() const override { return "TJsonValue"; }

  TJsonValueKind Kind() const { return kind_; }

  // jvNone becomes an empty array / object; the matching kind is returned as is; any
  // other kind raises the value type error.
  TJsonArray& AsArray();
  TJsonObject& AsObject();
  // string: its text; number: JsonNumberText; boolean: "true"/"false"; none/null: "".
  std::string AsString() const;
  // string: the whole text as a decimal integer (else the integer conversion error);
  // number: truncated toward zero (outside the 32-bit range: the conversion error);
  // boolean: 0/1; none/null: 0.
  int32_t AsInteger() const;

  // Raw content, valid for the matching kind.
  const std::string& Text() const { return text_; }
  long double Number() const { return number_; }
  bool Boolean() const { return boolean_; }
  // The owned object / array, or null for other kinds.
  TJsonObject* ObjectValue() const { return object_.get(); }
  TJsonArray* ArrayValue() const { return array_.get(); }

  // Setters used by the readers; they drop any previous content.
  void SetNull();
  void SetString(std::string text);
  void SetNumber(long double value);
  void SetBoolean(bool value);
  TJsonObject& SetObject();
  TJsonArray& SetArray();

 private:
  void Reset();

  TJsonValueKind kind_ = jvNone;
  bool boolean_ = false;
  long double number_ = 0;
  std::string text_;
  std::unique_ptr<TJsonObject> object_;
  std::unique_ptr<TJsonArray> array_;
};

class TJsonPair : public TJsonBase {
 public:
  TJsonPair(TJsonBase* parent, std::string name)
      : TJsonBase(parent), name_(std::move(name)), value_(this) {}
  const char* ClassName() const override { return "TJsonPair"; }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TJsonValue& Value() { return value_; }
  const TJsonValue& Value() const { return value_; }

 private:
  std::string name_;
  TJsonValue value_;
};

class TJsonObject : public TJsonBase {
 public:
  explicit TJsonObject(TJsonBase* parent) : TJsonBase(parent) {}
  const char* ClassName() const override { return "TJsonObject"; }

  size_t Count() const { return pairs_.size(); }
  TJsonPair& Pair(size_t index) { return *pairs_.at(index); }
  const TJsonPair& Pair(size_t index) const { return *pairs_.at(index); }

  // The value of the first pair whose name equals `name` ignoring ASCII letter case. When
  // there is none, automatic creation appends a pair with a jvNone value and returns
  // that; with automatic creation off the lookup raises "<TJsonObject>name not found".
  TJsonValue& Member(std::string_view name);
  // The same lookup without creating anything: null when absent.
  TJsonValue* Find(std::string_view name);

  bool AutoCreate() const { return autoCreate_; }
  void SetAutoCreate(bool on) { autoCreate_ = on; }

  // Appends a pair (the readers and automatic creation use this).
  TJsonPair& Add(std::string name);
  void Reserve(size_t n) { pairs_.reserve(n); }

 private:
  std::vector<std::unique_ptr<TJsonPair>> pairs_;
  bool autoCreate_ = true;
};

class TJsonArray : public TJsonBase {
 public:
  explicit TJsonArray(TJsonBase* parent) : TJsonBase(parent) {}
  const char* ClassName() const override { return "TJsonArray"; }

  size_t Count() const { return items_.size(); }
  // Raises "Der Index der Liste überschreitet das Maximum (index)" when out of range.
  TJsonValue& Item(int64_t index);
  const TJsonValue& Item(int64_t index) const;

  TJsonValue& Add();

 private:
  std::vector<std::unique_ptr<TJsonValue>> items_;
};

class TFastJSON : public TJsonBase {
 public:
  TFastJSON() : TJsonBase(nullptr) {}
  ~TFastJSON() override;
  const char* ClassName() const override { return "TFastJSON"; }

  void Clear();
  // Replaces the content with the parsed text; the trimmed text must be an object or an
  // array. On failure the tree keeps what was built before the failure.
  void Parse(std::string_view text);
  // Clears, then reads the file (up to its first NUL byte) and parses it. A missing file
  // leaves the tree empty without failure. When reading or parsing fails and tryBackup is
  // set, the file with the extension ".~json" is loaded instead if it exists. A load that
  // does not succeed in the end leaves the tree empty, so that a damaged document never
  // passes for a shorter one. With reraise the first failure is raised, otherwise the
  // caller inspects the tree. A name that is no regular file (a FIFO, a device) or a file
  // of more than 256 MiB is refused: that raises dz::Exception saying so, with or without
  // reraise, and no backup is tried.
  void LoadFromFile(const std::string& path, bool tryBackup, bool reraise);

  TJsonStructType StructType() const;
  TJsonObject* Object() const { return object_.get(); }
  TJsonArray* Array() const { return array_.get(); }

  // The root must hold an object (an empty one is created when it holds nothing); a root
  // holding an array raises "<TFastJSON>json struct type is not jsObject".
  TJsonValue& Member(std::string_view name);

  // Used by the readers.
  TJsonObject& SetObject();
  TJsonArray& SetArray();

 private:
  std::unique_ptr<TJsonObject> object_;
  std::unique_ptr<TJsonArray> array_;
};

// Number text of the JSON dialect: up to 15 significant digits, "." as decimal separator
// whatever the process-wide format says, fixed notation for 0.0001 <= |v| < 1E15 and
// zero, otherwise scientific ("1E-6", "1.5E20").
std::string JsonNumberText(long double value);

// The extension of `path` replaced by ".~json" (appended when there is none).
std::string JsonBackupPath(const std::string& path);

}  // namespace dz
