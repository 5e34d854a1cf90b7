#pragma once
// The compact JSON writer with which we send documents to the host.
//
// Its value objects are separate from the reading tree (FastJSON.h): strings are held as
// UTF-16 and converted to Windows-1252 when the text is generated, numbers are extended
// floats written with the host's number text, and no whitespace is produced. Escapes
// follow what the host's reader expects: \b \t \n \f \r, a backslash before '"', '/' and
// '\', "\u20ac" for the euro sign (0x80), \u00XX with upper-case digits for the other
// control bytes, every other byte unchanged.
//
// Ownership: containers own their values; the Put/Add helpers return references to the
// value they store, valid while its container lives and the value is not replaced.
// Nothing here raises except for allocation failure.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dz {

class TMVJSONValue {
 public:
  virtual ~TMVJSONValue() = default;
  // Appends the compact text of this value to `out`.
  virtual void Generate(std::string& out) const = 0;
};

class TMVJSONNumber : public TMVJSONValue {
 public:
  explicit TMVJSONNumber(long double value) : value_(value) {}
  void Generate(std::string& out) const override;
  long double Value() const { return value_; }

 private:
  long double value_;
};

class TMVJSONString : public TMVJSONValue {
 public:
  explicit TMVJSONString(std::u16string value) : value_(std::move(value)) {}
  // From Windows-1252 text.
  static std::unique_ptr<TMVJSONString> FromText(std::string_view cp1252);
  void Generate(std::string& out) const override;
  const std::u16string& Value() const { return value_; }

 private:
  std::u16string value_;
};

class TMVJSONBoolean : public TMVJSONValue {
 public:
  explicit TMVJSONBoolean(bool value) : value_(value) {}
  void Generate(std::string& out) const override;
  bool Value() const { return value_; }

 private:
  bool value_;
};

class TMVJSONNull : public TMVJSONValue {
 public:
  void Generate(std::string& out) const override;
};

class TMVJSON;
class TMVSONList;

// Base of the two containers.
class TMVCustomJSON : public TMVJSONValue {
 public:
  virtual size_t Count() const = 0;
};

// The object kind, used as the document root. Members keep the order in which they were
// first put; putting a name that is already there (exact comparison) replaces its value
// in place.
class TMVJSON : public TMVCustomJSON {
 public:
  size_t Count() const override { return members_.size(); }
  const std::string& Name(size_t index) const { return members_.at(index).first; }
  TMVJSONValue& Value(size_t index) const { return *members_.at(index).second; }
  // The value put under `name`, or null.
  TMVJSONValue* Find(std::string_view name) const;

  TMVJSONValue& Put(std::string_view name, std::unique_ptr<TMVJSONValue> value);
  // `text` is Windows-1252.
  void PutString(std::string_view name, std::string_view text);
  void PutNumber(std::string_view name, long double value);
  void PutBoolean(std::string_view name, bool value);
  void PutNull(std::string_view name);
  TMVJSON& PutObject(std::string_view name);
  TMVSONList& PutList(std::string_view name);

  void Generate(std::string& out) const override;

 private:
  std::vector<std::pair<std::string, std::unique_ptr<TMVJSONValue>>> members_;
};

// The list kind.
class TMVSONList : public TMVCustomJSON {
 public:
  size_t Count() const override { return items_.size(); }
  TMVJSONValue& Item(size_t index) const { return *items_.at(index); }

  TMVJSONValue& Add(std::unique_ptr<TMVJSONValue> value);
  void AddString(std::string_view text);
  void AddNumber(long double value);
  void AddBoolean(bool value);
  void AddNull();
  TMVJSON& AddObject();
  TMVSONList& AddList();

  void Generate(std::string& out) const override;

 private:
  std::vector<std::unique_ptr<TMVJSONValue>> items_;
};

// The compact text of `root` and everything below it.
std::string GenerateJsonText(const TMVJSONValue& root);

// Appends `text` (Windows-1252) as a quoted, escaped JSON string.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace dz
