#include "docdata/AddInfoLine.h"

namespace dz {

namespace {
constexpr PropInfo kInfoLineProps[] = {
    {"ORG_ID", PropType::Integer}, {"_1", PropType::Text},
    {"_2", PropType::Text},        {"_3", PropType::Text},
    {"_4", PropType::Text},        {"_5", PropType::Text},
    {"_6", PropType::Text},        {"_7", PropType::Text},
    {"_8", PropType::Text},        {"Forcedelete", PropType::Boolean},
};

constexpr PropInfo kWrapperProps[] = {
    {"Name", PropType::Text, {}, std::nullopt, false},
    {"Tag", PropType::Integer, {}, 0},
    {"Info1", PropType::Text},
    {"Info2", PropType::Integer},
    {"AddInfoLines", PropType::Collection},
};
}  // namespace

std::span<const PropInfo> TAddInfoLine::Properties() const {
  return kInfoLineProps;
}

PropRef TAddInfoLine::Property(size_t index) {
  switch (index) {
    case 0:
      return &ORG_ID;
    case 1:
      return &_1;
    case 2:
      return &_2;
    case 3:
      return &_3;
    case 4:
      return &_4;
    case 5:
      return &_5;
    case 6:
      return &_6;
    case 7:
      return &_7;
    case 8:
      return &_8;
    default:
      return &Forcedelete;
  }
}

void TAddInfoLine::Assign(const Persistent& source) {
  auto* s = dynamic_cast<const TAddInfoLine*>(&source);
  if (!s) {
    Persistent::Assign(source);
    return;
  }
  ORG_ID = s->ORG_ID;
  _1 = s->_1;
  _2 = s->_2;
  _3 = s->_3;
  _4 = s->_4;
  _5 = s->_5;
  _6 = s->_6;
  _7 = s->_7;
  _8 = s->_8;
  Forcedelete = s->Forcedelete;
  RecordKey = s->RecordKey;
}

std::span<const PropInfo> TAddInfoLinesWrapper::Properties() const {
  return kWrapperProps;
}

PropRef TAddInfoLinesWrapper::Property(size_t index) {
  switch (index) {
    case 0:
    case 1:
      return RootProperty(index);
    case 2:
      return &Info1;
    case 3:
      return &Info2;
    default:
      return static_cast<Collection*>(&AddInfoLines);
  }
}

}  // namespace dz
