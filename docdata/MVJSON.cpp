#include "docdata/MVJSON.h"

#include "docdata/Cp1252.h"
#include "docdata/FastJSON.h"

namespace dz {

void AppendJsonString(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  out += '"';
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
      case '/':
      case '\\':
        out += '\\';
        out += ch;
        break;
      case 0x80:
        out += "\\u20ac";
        break;
      default:
        if (c < 32) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

void TMVJSONNumber::Generate(std::string& out) const {
  out += JsonNumberText(value_);
}

std::unique_ptr<TMVJSONString> TMVJSONString::FromText(std::string_view cp1252) {
  return std::make_unique<TMVJSONString>(Cp1252ToUtf16(cp1252));
}

void TMVJSONString::Generate(std::string& out) const {
  AppendJsonString(out, Utf16ToCp1252(value_));
}

void TMVJSONBoolean::Generate(std::string& out) const {
  out += value_ ? "true" : "false";
}

void TMVJSONNull::Generate(std::string& out) const {
  out += "null";
}

// --- TMVJSON --------------------------------------------------------------------------

TMVJSONValue* TMVJSON::Find(std::string_view name) const {
  for (auto& m : members_)
    if (m.first == name) return m.second.get();
  return nullptr;
}

TMVJSONValue& TMVJSON::Put(std::string_view name, std::unique_ptr<TMVJSONValue> value) {
  for (auto& m : members_) {
    if (m.first == name) {
      m.second = std::move(value);
      return *m.second;
    }
  }
  members_.emplace_back(std::string(name), std::move(value));
  return *members_.back().second;
}

void TMVJSON::PutString(std::string_view name, std::string_view text) {
  Put(name, TMVJSONString::FromText(text));
}

void TMVJSON::PutNumber(std::string_view name, long double value) {
  Put(name, std::make_unique<TMVJSONNumber>(value));
}

void TMVJSON::PutBoolean(std::string_view name, bool value) {
  Put(name, std::make_unique<TMVJSONBoolean>(value));
}

void TMVJSON::PutNull(std::string_view name) {
  Put(name, std::make_unique<TMVJSONNull>());
}

TMVJSON& TMVJSON::PutObject(std::string_view name) {
  return static_cast<TMVJSON&>(Put(name, std::make_unique<TMVJSON>()));
}

TMVSONList& TMVJSON::PutList(std::string_view name) {
  return static_cast<TMVSONList&>(Put(name, std::make_unique<TMVSONList>()));
}

void TMVJSON::Generate(std::string& out) const {
  out += '{';
  bool first = true;
  for (auto& m : members_) {
    if (!first) out += ',';
    first = false;
    AppendJsonString(out, m.first);
    out += ':';
    m.second->Generate(out);
  }
  out += '}';
}

// --- TMVSONList -----------------------------------------------------------------------

TMVJSONValue& TMVSONList::Add(std::unique_ptr<TMVJSONValue> value) {
  items_.push_back(std::move(value));
  return *items_.back();
}

void TMVSONList::AddString(std::string_view text) {
  Add(TMVJSONString::FromText(text));
}
void TMVSONList::AddNumber(long double value) {
  Add(std::make_unique<TMVJSONNumber>(value));
}
void TMVSONList::AddBoolean(bool value) {
  Add(std::make_unique<TMVJSONBoolean>(value));
}
void TMVSONList::AddNull() {
  Add(std::make_unique<TMVJSONNull>());
}

TMVJSON& TMVSONList::AddObject() {
  return static_cast<TMVJSON&>(Add(std::make_unique<TMVJSON>()));
}

TMVSONList& TMVSONList::AddList() {
  return static_cast<TMVSONList&>(Add(std::make_unique<TMVSONList>()));
}

void TMVSONList::Generate(std::string& out) const {
  out += '[';
  bool first = true;
  for (auto& v : items_) {
    if (!first) out += ',';
    first = false;
    v->Generate(out);
  }
  out += ']';
}

std::string GenerateJsonText(const TMVJSONValue& root) {
  std::string out;
  root.Generate(out);
  return out;
}

}  // namespace dz
