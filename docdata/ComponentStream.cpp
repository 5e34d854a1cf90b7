#include "docdata/ComponentStream.h"

#include "docdata/Exception.h"

namespace dz {

const char* const kInvalidStreamFormat = "Ung\xFCltiges Stream-Format";
const char* const kPropertyDoesNotExist = "Eigenschaft existiert nicht";
const char* const kInvalidPropertyPath = "Ung\xFCltiger Pfad f\xFCr Eigenschaft";
const char* const kInvalidPropertyValue = "Ung\xFCltiger Wert der Eigenschaft";

namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Property names and identifiers are compared without regard to ASCII letter case, as
// the host writes them in their declared spelling but nothing depends on it.
bool SameIdent(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

int FindProperty(const Persistent& obj, std::string_view name) {
  auto props = obj.Properties();
  for (size_t i = 0; i < props.size(); ++i)
    if (SameIdent(props[i].name, name)) return static_cast<int>(i);
  return -1;
}

int FindName(std::span<const std::string_view> names, std::string_view name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (SameIdent(names[i], name)) return static_cast<int>(i);
  return -1;
}

[[noreturn]] void Fail(const char* message) {
  throw Exception(message);
}

struct Target {
  Persistent* obj;
  size_t index;
  bool stringsList;  // the ".Strings" of a text list
};

Target Resolve(Persistent& root, std::string_view path) {
  Persistent* cur = &root;
  size_t start = 0;
  while (true) {
    size_t dot = path.find('.', start);
    std::string_view seg =
        path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    int idx = FindProperty(*cur, seg);
    if (idx < 0) Fail(kPropertyDoesNotExist);
    if (dot == std::string_view::npos) return {cur, static_cast<size_t>(idx), false};
    const PropInfo& pi = cur->Properties()[idx];
    std::string_view rest = path.substr(dot + 1);
    switch (pi.type) {
      case PropType::Object:
        cur = std::get<Persistent*>(cur->Property(idx));
        break;
      case PropType::Collection:
        // A collection publishes no properties of its own.
        cur = std::get<Collection*>(cur->Property(idx));
        break;
      case PropType::Strings: {
        size_t dot2 = rest.find('.');
        if (!SameIdent(rest.substr(0, dot2), "Strings")) Fail(kPropertyDoesNotExist);
        if (dot2 != std::string_view::npos) Fail(kInvalidPropertyPath);
        return {cur, static_cast<size_t>(idx), true};
      }
      default:
        Fail(kInvalidPropertyPath);
    }
    start = dot + 1;
  }
}

void ReadPropertyList(TValueReader& r, Persistent& obj);

std::string ReadText(TValueReader& r, ValueType t) {
  std::string s;
  if (!IsTextTag(t) || !r.ReadTextPayload(t, s)) Fail(kInvalidPropertyValue);
  return s;
}

void ReadCollection(TValueReader& r, Collection& coll) {
  bool cleared = false;
  while (r.NextValueType() != ValueType::Null) {
    if (!cleared) {
      coll.Clear();
      cleared = true;
    }
    if (coll.Count() >= coll.MaxItems()) Fail(kInvalidPropertyValue);
    if (IsIntegerTag(r.NextValueType())) {  // the item's order number, not needed
      int64_t ignored;
      r.ReadIntegerPayload(r.ReadValueType(), ignored);
    }
    if (r.ReadValueType() != ValueType::List) Fail(kInvalidPropertyValue);
    ReadPropertyList(r, coll.AddItem());
  }
  r.ReadByte();
}

void ReadValue(TValueReader& r, const Target& target) {
  const PropInfo& pi = target.obj->Properties()[target.index];
  PropRef ref = target.obj->Property(target.index);
  ValueType t = r.ReadValueType();
  if (target.stringsList) {
    if (t != ValueType::List) Fail(kInvalidPropertyValue);
    auto& list = *std::get<std::vector<std::string>*>(ref);
    list.clear();
    while (r.NextValueType() != ValueType::Null) list.push_back(ReadText(r, r.ReadValueType()));
    r.ReadByte();
    return;
  }
  switch (pi.type) {
    case PropType::Integer: {
      int64_t v;
      if (!IsIntegerTag(t)) Fail(kInvalidPropertyValue);
      r.ReadIntegerPayload(t, v);
      *std::get<int32_t*>(ref) = static_cast<int32_t>(v);
      return;
    }
    case PropType::Color:
    case PropType::Charset: {
      if (IsIntegerTag(t)) {
        int64_t v;
        r.ReadIntegerPayload(t, v);
        *std::get<int32_t*>(ref) = static_cast<int32_t>(v);
      } else if (t == ValueType::Ident) {
        std::string ident = r.ReadShortString();
        auto v = pi.type == PropType::Color ? ColorFromIdent(ident) : CharsetFromIdent(ident);
        if (v) *std::get<int32_t*>(ref) = *v;
      } else {
        Fail(kInvalidPropertyValue);
      }
      return;
    }
    case PropType::Boolean:
      if (t != ValueType::True && t != ValueType::False) Fail(kInvalidPropertyValue);
      *std::get<bool*>(ref) = t == ValueType::True;
      return;
    case PropType::Enumeration: {
      if (t != ValueType::Ident) Fail(kInvalidPropertyValue);
      int v = FindName(pi.names, r.ReadShortString());
      if (v < 0) Fail(kInvalidPropertyValue);
      *std::get<int32_t*>(ref) = v;
      return;
    }
    case PropType::Set: {
      if (t != ValueType::Set) Fail(kInvalidPropertyValue);
      int32_t mask = 0;
      while (true) {
        std::string name = r.ReadShortString();
        if (name.empty()) break;
        int v = FindName(pi.names, name);
        if (v < 0 || v >= 31) Fail(kInvalidPropertyValue);
        mask |= int32_t{1} << v;
      }
      *std::get<int32_t*>(ref) = mask;
      return;
    }
    case PropType::Text:
      *std::get<std::string*>(ref) = ReadText(r, t);
      return;
    case PropType::Collection:
      if (t != ValueType::Collection) Fail(kInvalidPropertyValue);
      ReadCollection(r, *std::get<Collection*>(ref));
      return;
    case PropType::Reference:
      if (t == ValueType::Ident) {
        r.ReadShortString();
      } else if (t != ValueType::Nil) {
        Fail(kInvalidPropertyValue);
      }
      std::get<std::string*>(ref)->clear();
      return;
    case PropType::Strings:
    case PropType::Object:
      Fail(kInvalidPropertyValue);
  }
}

void ReadPropertyList(TValueReader& r, Persistent& obj) {
  while (r.PeekByte() != 0) {
    std::string name = r.ReadShortString();
    ReadValue(r, Resolve(obj, name));
  }
  r.ReadByte();
}

void WriteProperties(TValueWriter& w, const Persistent& obj, const std::string& prefix) {
  auto props = obj.Properties();
  for (size_t i = 0; i < props.size(); ++i) {
    const PropInfo& pi = props[i];
    if (!pi.stored) continue;
    PropRef ref = obj.ConstProperty(i);
    std::string name = prefix + std::string(pi.name);
    switch (pi.type) {
      case PropType::Integer:
      case PropType::Color:
      case PropType::Charset: {
        int32_t v = *std::get<int32_t*>(ref);
        if (pi.def && v == *pi.def) break;
        w.WriteShortString(name);
        w.WriteInteger(v);
        break;
      }
      case PropType::Boolean:
        w.WriteShortString(name);
        w.WriteBoolean(*std::get<bool*>(ref));
        break;
      case PropType::Enumeration: {
        int32_t v = *std::get<int32_t*>(ref);
        if ((pi.def && v == *pi.def) || v < 0 || static_cast<size_t>(v) >= pi.names.size()) break;
        w.WriteShortString(name);
        w.WriteIdent(pi.names[v]);
        break;
      }
      case PropType::Set: {
        int32_t v = *std::get<int32_t*>(ref);
        if (pi.def && v == *pi.def) break;
        w.WriteShortString(name);
        w.WriteValueType(ValueType::Set);
        for (size_t b = 0; b < pi.names.size() && b < 31; ++b)
          if (v & (int32_t{1} << b)) w.WriteShortString(pi.names[b]);
        w.WriteByte(0);
        break;
      }
      case PropType::Text: {
        const std::string& s = *std::get<std::string*>(ref);
        if (s.empty()) break;
        w.WriteShortString(name);
        w.WriteString(s);
        break;
      }
      case PropType::Strings: {
        const auto& list = *std::get<std::vector<std::string>*>(ref);
        if (list.empty()) break;
        w.WriteShortString(name + ".Strings");
        w.WriteListBegin();
        for (const auto& s : list) w.WriteString(s);
        w.WriteListEnd();
        break;
      }
      case PropType::Object:
        WriteProperties(w, *std::get<Persistent*>(ref), name + ".");
        break;
      case PropType::Collection: {
        const Collection& coll = *std::get<Collection*>(ref);
        if (coll.Count() == 0) break;
        w.WriteShortString(name);
        w.WriteValueType(ValueType::Collection);
        for (size_t k = 0; k < coll.Count(); ++k) {
          w.WriteListBegin();
          WriteProperties(w, coll.ConstItemAt(k), std::string());
          w.WriteListEnd();
        }
        w.WriteListEnd();
        break;
      }
      case PropType::Reference: {
        const std::string& s = *std::get<std::string*>(ref);
        if (s.empty()) break;
        w.WriteShortString(name);
        w.WriteIdent(s);
        break;
      }
    }
  }
}

struct IdentValue {
  std::string_view name;
  int32_t value;
};

constexpr int32_t Sys(int index) {
  return static_cast<int32_t>(0x80000000u | index);
}

constexpr IdentValue kColors[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clLtGray", 0xC0C0C0},
    {"clDkGray", 0x808080},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clNone", 0x1FFFFFFF},
    {"clDefault", 0x20000000},
    // System colours: the high bit marks an index into the system's colour table.
    {"clScrollBar", Sys(0)},
    {"clBackground", Sys(1)},
    {"clActiveCaption", Sys(2)},
    {"clInactiveCaption", Sys(3)},
    {"clMenu", Sys(4)},
    {"clWindow", Sys(5)},
    {"clWindowFrame", Sys(6)},
    {"clMenuText", Sys(7)},
    {"clWindowText", Sys(8)},
    {"clCaptionText", Sys(9)},
    {"clActiveBorder", Sys(10)},
    {"clInactiveBorder", Sys(11)},
    {"clAppWorkSpace", Sys(12)},
    {"clHighlight", Sys(13)},
    {"clHighlightText", Sys(14)},
    {"clBtnFace", Sys(15)},
    {"clBtnShadow", Sys(16)},
    {"clGrayText", Sys(17)},
    {"clBtnText", Sys(18)},
    {"clInactiveCaptionText", Sys(19)},
    {"clBtnHighlight", Sys(20)},
    {"cl3DDkShadow", Sys(21)},
    {"cl3DLight", Sys(22)},
    {"clInfoText", Sys(23)},
    {"clInfoBk", Sys(24)},
    {"clHotLight", Sys(26)},
    {"clGradientActiveCaption", Sys(27)},
    {"clGradientInactiveCaption", Sys(28)},
    {"clMenuHighlight", Sys(29)},
    {"clMenuBar", Sys(30)},
};

constexpr IdentValue kCharsets[] = {
    {"ANSI_CHARSET", 0},      {"DEFAULT_CHARSET", 1},    {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},      {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},   {"GB2312_CHARSET", 134},   {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},   {"TURKISH_CHARSET", 162},  {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},  {"ARABIC_CHARSET", 178},   {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222},     {"EASTEUROPE_CHARSET", 238},
    {"OEM_CHARSET", 255},
};

template <size_t N>
std::optional<int32_t> Lookup(const IdentValue (&table)[N], std::string_view ident) {
  for (const auto& e : table)
    if (SameIdent(e.name, ident)) return e.value;
  return std::nullopt;
}

}  // namespace

PropRef Persistent::Property(size_t) {
  throw Exception("Eigenschaft existiert nicht");
}

void Persistent::Assign(const Persistent& source) {
  AssignError(source);
}

void Persistent::AssignError(const Persistent& source) const {
  throw Exception(std::string(source.ClassName()) + " kann nicht zu " + std::string(ClassName()) +
                  " zugewiesen werden");
}

PropRef StreamRoot::RootProperty(size_t index) {
  if (index == 0) return &Name;
  return &Tag;
}

std::optional<int32_t> ColorFromIdent(std::string_view ident) {
  return Lookup(kColors, ident);
}
std::optional<int32_t> CharsetFromIdent(std::string_view ident) {
  return Lookup(kCharsets, ident);
}

void ReadComponent(std::string_view bytes, StreamRoot& root) {
  TValueReader r(bytes);
  if (r.ReadBytes(4) != "TPF0") Fail(kInvalidStreamFormat);
  uint8_t first = r.PeekByte();
  if ((first & 0xF0) == 0xF0) {
    r.ReadByte();
    if (first & 0x02) {  // child position: an integer follows
      ValueType t = r.ReadValueType();
      int64_t ignored;
      if (!IsIntegerTag(t)) Fail(kInvalidPropertyValue);
      r.ReadIntegerPayload(t, ignored);
    }
  }
  r.ReadShortString();  // class name: the caller supplies the root
  root.Name = r.ReadShortString();
  ReadPropertyList(r, root);
  // Our records have no child objects; one here means the stream is not one of them.
  if (r.ReadByte() != 0) Fail(kInvalidStreamFormat);
}

std::string WriteComponent(const StreamRoot& root) {
  TValueWriter w;
  w.WriteRaw("TPF0");
  w.WriteShortString(root.ClassName());
  w.WriteShortString("");
  WriteProperties(w, root, std::string());
  w.WriteListEnd();
  w.WriteListEnd();
  return w.Take();
}

}  // namespace dz
