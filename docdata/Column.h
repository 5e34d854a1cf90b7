#pragma once
// The column record of a position table (TColumn) with its font and title objects, the
// column collection (TDataGridColumns) and the stream root that carries a column set
// (TColumnsWrapper).
//
// Display properties (fonts, masks, captions, alignment, colours) are kept as plain
// values; only the grid view gives them meaning.

#include <cstdint>
#include <string>
#include <vector>

#include "docdata/ComponentStream.h"

namespace dz {

enum TAlignment : int32_t { taLeftJustify, taRightJustify, taCenter };
enum TColumnButtonStyle : int32_t { cbsAuto, cbsEllipsis, cbsNone };
enum TColumnFormat : int32_t { cfString, cfNumber, cfDate, cfdblocate, cfcombo, cfcheck };
enum TEditDataType_ : int32_t { deInteger, deFloat, deCurrency };
// Bits of a font's Style set.
enum TFontStyle : int32_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

constexpr int32_t kDefaultCharset = 1;

class TColumnFont : public Persistent {
 public:
  int32_t Charset = kDefaultCharset;
  int32_t Color = 0;
  int32_t Height = -11;
  std::string Name = "Tahoma";
  int32_t Style = 0;  // TFontStyle bits

  std::string_view ClassName() const override { return "TFont"; }
  std::span<const PropInfo> Properties() const override;
  PropRef Property(size_t index) override;
  void Assign(const Persistent& source) override;
};

class TColumnTitle : public Persistent {
 public:
  int32_t Alignment = taLeftJustify;
  std::string Caption;
  int32_t Color = static_cast<int32_t>(0x8000000F);  // the system's button face
  TColumnFont Font;

  std::string_view ClassName() const override { return "TColumnTitle"; }
  std::span<const PropInfo> Properties() const override;
  PropRef Property(size_t index) override;
  void Assign(const Persistent& source) override;
};

class TColumn : public Persistent {
 public:
  explicit TColumn(Collection* owner = nullptr) : owner_(owner) {}

  std::string EditMask;
  int32_t MaxLength = 0;
  bool LimitToList = false;
  int32_t Alignment = taLeftJustify;
  int32_t ButtonStyle = cbsAuto;
  int32_t Format = cfString;
  int32_t Color = static_cast<int32_t>(0x80000005);  // the system's window colour
  int32_t DropDownRows = 7;
  TColumnFont Font;
  std::vector<std::string> PickList;
  std::string PopupMenu;
  bool ReadOnly = false;
  TColumnTitle Title;
  std::string DisplayMask;
  int32_t Width = 64;  // -1 hides the column
  std::string FieldName;
  bool CheckField = false;
  int32_t NumericDigits = 2;
  int32_t NumericKind = deInteger;
  int32_t NumericPrecision = 2;
  bool ButtonExists = false;
  bool Intern = false;
  bool Streaming = false;
  // Derived, never streamed.
  int32_t InternalCol = 0;

  std::string_view ClassName() const override { return "TColumn"; }
  std::span<const PropInfo> Properties() const override;
  PropRef Property(size_t index) override;
  // Copies every property (not the owner) from another TColumn.
  void Assign(const Persistent& source) override;

 private:
  Collection* owner_;
};

class TDataGridColumns : public OwnedCollection<TColumn> {
 public:
  std::string_view ClassName() const override { return "TDataGridColumns"; }
  // A position table has a few dozen columns; thousands are no table of ours.
  size_t MaxItems() const override { return kMaxColumns; }
  static constexpr size_t kMaxColumns = 4096;
};

// Stream root of a column set: `Columns` refers to a collection owned elsewhere.
class TColumnsWrapper : public StreamRoot {
 public:
  explicit TColumnsWrapper(TDataGridColumns& columns) : columns_(&columns) {}
  std::string_view ClassName() const override { return "TColumnsWrapper"; }
  std::span<const PropInfo> Properties() const override;
  PropRef Property(size_t index) override;

 private:
  TDataGridColumns* columns_;
};

}  // namespace dz
