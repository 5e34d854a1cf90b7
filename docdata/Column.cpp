#include "docdata/Column.h"

namespace dz {

namespace {

constexpr std::string_view kAlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
constexpr std::string_view kButtonStyleNames[] = {"cbsAuto", "cbsEllipsis", "cbsNone"};
constexpr std::string_view kFormatNames[] = {"cfString",   "cfNumber", "cfDate",
                                             "cfdblocate", "cfcombo",  "cfcheck"};
constexpr std::string_view kNumericKindNames[] = {"deInteger", "deFloat", "deCurrency"};
constexpr std::string_view kFontStyleNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

constexpr PropInfo kFontProps[] = {
    {"Charset", PropType::Charset},
    {"Color", PropType::Color},
    {"Height", PropType::Integer},
    {"Name", PropType::Text},
    {"Style", PropType::Set, kFontStyleNames},
};

constexpr PropInfo kTitleProps[] = {
    {"Alignment", PropType::Enumeration, kAlignmentNames},
    {"Caption", PropType::Text},
    {"Color", PropType::Color},
    {"Font", PropType::Object},
};

constexpr PropInfo kColumnProps[] = {
    {"EditMask", PropType::Text},
    {"MaxLength", PropType::Integer, {}, 0},
    {"LimitToList", PropType::Boolean},
    {"Alignment", PropType::Enumeration, kAlignmentNames},
    {"ButtonStyle", PropType::Enumeration, kButtonStyleNames, cbsAuto},
    {"Format", PropType::Enumeration, kFormatNames, cfString},
    {"Color", PropType::Color},
    {"DropDownRows", PropType::Integer, {}, 7},
    {"Font", PropType::Object},
    {"PickList", PropType::Strings},
    {"PopupMenu", PropType::Reference},
    {"ReadOnly", PropType::Boolean},
    {"Title", PropType::Object},
    {"DisplayMask", PropType::Text},
    {"Width", PropType::Integer},
    {"FieldName", PropType::Text},
    {"CheckField", PropType::Boolean},
    {"NumericDigits", PropType::Integer},
    {"NumericKind", PropType::Enumeration, kNumericKindNames},
    {"NumericPrecision", PropType::Integer},
    {"ButtonExists", PropType::Boolean},
    {"Intern", PropType::Boolean},
    {"Streaming", PropType::Boolean},
};

constexpr PropInfo kColumnsWrapperProps[] = {
    {"Name", PropType::Text, {}, std::nullopt, false},
    {"Tag", PropType::Integer, {}, 0},
    {"Columns", PropType::Collection},
};

}  // namespace

std::span<const PropInfo> TColumnFont::Properties() const {
  return kFontProps;
}

PropRef TColumnFont::Property(size_t index) {
  switch (index) {
    case 0:
      return &Charset;
    case 1:
      return &Color;
    case 2:
      return &Height;
    case 3:
      return &Name;
    default:
      return &Style;
  }
}

void TColumnFont::Assign(const Persistent& source) {
  if (auto* f = dynamic_cast<const TColumnFont*>(&source)) {
    *this = *f;
    return;
  }
  AssignError(source);
}

std::span<const PropInfo> TColumnTitle::Properties() const {
  return kTitleProps;
}

PropRef TColumnTitle::Property(size_t index) {
  switch (index) {
    case 0:
      return &Alignment;
    case 1:
      return &Caption;
    case 2:
      return &Color;
    default:
      return static_cast<Persistent*>(&Font);
  }
}

void TColumnTitle::Assign(const Persistent& source) {
  if (auto* t = dynamic_cast<const TColumnTitle*>(&source)) {
    *this = *t;
    return;
  }
  AssignError(source);
}

std::span<const PropInfo> TColumn::Properties() const {
  return kColumnProps;
}

PropRef TColumn::Property(size_t index) {
  switch (index) {
    case 0:
      return &EditMask;
    case 1:
      return &MaxLength;
    case 2:
      return &LimitToList;
    case 3:
      return &Alignment;
    case 4:
      return &ButtonStyle;
    case 5:
      return &Format;
    case 6:
      return &Color;
    case 7:
      return &DropDownRows;
    case 8:
      return static_cast<Persistent*>(&Font);
    case 9:
      return &PickList;
    case 10:
      return &PopupMenu;
    case 11:
      return &ReadOnly;
    case 12:
      return static_cast<Persistent*>(&Title);
    case 13:
      return &DisplayMask;
    case 14:
      return &Width;
    case 15:
      return &FieldName;
    case 16:
      return &CheckField;
    case 17:
      return &NumericDigits;
    case 18:
      return &NumericKind;
    case 19:
      return &NumericPrecision;
    case 20:
      return &ButtonExists;
    case 21:
      return &Intern;
    default:
      return &Streaming;
  }
}

void TColumn::Assign(const Persistent& source) {
  auto* c = dynamic_cast<const TColumn*>(&source);
  if (!c) AssignError(source);
  Collection* owner = owner_;
  *this = *c;
  owner_ = owner;
}

std::span<const PropInfo> TColumnsWrapper::Properties() const {
  return kColumnsWrapperProps;
}

PropRef TColumnsWrapper::Property(size_t index) {
  if (index < 2) return RootProperty(index);
  return static_cast<Collection*>(columns_);
}

}  // namespace dz
