#include "docdata/DataGridLines.h"

namespace dz {

namespace {
constexpr PropInfo kWrapperProps[] = {
    {"Name", PropType::Text, {}, std::nullopt, false},
    {"Tag", PropType::Integer, {}, 0},
    {"DataGridLines", PropType::Collection},
    {"GUID", PropType::Text},
    {"Row", PropType::Integer},
    {"Data", PropType::Text},
};
}  // namespace

void TCustomDataGridLines::Assign(const Persistent& source) {
  auto* src = dynamic_cast<const TCustomDataGridLines*>(&source);
  if (!src) {
    Persistent::Assign(source);
    return;
  }
  if (src == this) return;
  BeginUpdate();
  try {
    Clear();
    for (size_t i = 0; i < src->Count(); ++i) Add().Assign((*src)[i]);
    GUID = src->GUID;
    Row = src->Row;
    Data = src->Data;
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::span<const PropInfo> TDataGridLinesWrapper::Properties() const {
  return kWrapperProps;
}

PropRef TDataGridLinesWrapper::Property(size_t index) {
  switch (index) {
    case 0:
    case 1:
      return RootProperty(index);
    case 2:
      return static_cast<Collection*>(lines_);
    case 3:
      return &lines_->GUID;
    case 4:
      return &lines_->Row;
    default:
      return &lines_->Data;
  }
}

}  // namespace dz
