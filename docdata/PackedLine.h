#pragma once
// Positions kept compactly for reading (PackedLine): the 24 fields of a TDataGridLine in
// one block, the texts back to back behind a table of their end offsets. Packed lines live
// in a LineArena, which hands out memory in large pieces and frees it all at once; a
// packed line never changes after it was made.
//
// LineView reads the fields of a packed line or of an ordinary TDataGridLine alike.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "docdata/DataGridLine.h"

namespace dz {

class TDataGrid;
class TDataGridRowView;
struct TColumnIndexRecord;

// The fields in the order of TDataGridLine's published properties.
enum class LineField : uint8_t {
  Stueck,
  Einheit,
  Bezeichnung1,
  Bezeichnung2,
  BestellNummer,
  Seriennummer,
  Artikelnummer,
  Einzelbetrag,
  Steuer,
  SummeBetrag,
  intern,
  ID_Artikel,
  Rabatt,
  Second,
  DM,  // boolean
  TypeLine,
  Isnetto,  // boolean
  User,
  Row,  // integer
  Rows,
  Hash,
  Pos,
  ExtraData,
  L2,
};
constexpr int kLineFieldCount = 24;

// Memory for packed lines and texts, taken from pieces of kPieceSize bytes (larger
// requests get a piece of their own); everything is freed with the arena. Pieces of the
// standard size go back to a pool shared by the whole program, up to kPoolPieces of them,
// and the next arenas take them from there: memory the system has handed out once is
// not asked for (and cleared) again on every run. Any thread may use its own arena.
class LineArena {
 public:
  static constexpr size_t kPieceSize = 64 * 1024;
  static constexpr size_t kPoolPieces = 512;  // 32 MiB
  LineArena() = default;
  ~LineArena();
  LineArena(const LineArena&) = delete;
  LineArena& operator=(const LineArena&) = delete;

  // `bytes` of uninitialised memory aligned to `align` (a power of two up to 16).
  void* Allocate(size_t bytes, size_t align = 8);
  // A copy of `text` that lives as long as the arena.
  std::string_view Copy(std::string_view text);

 private:
  std::vector<std::unique_ptr<char[]>> standard_, large_;
  char* at_ = nullptr;
  size_t left_ = 0;
};

class PackedLine {
 public:
  static constexpr int kTexts = 21;

  // A packed copy of `line` in `arena`; with `quantity`, that text stands for Stueck.
  static const PackedLine* Pack(const TDataGridLine& line, LineArena& arena,
                                const std::string_view* quantity = nullptr);
  // A packed line from the texts of its 21 text fields (in field order, booleans and the
  // row number left out). The texts whose bit is set in `numbers` are normalised as
  // NormalizeLineNumbers does while they are copied.
  static const PackedLine* Make(const std::string_view (&texts)[kTexts], bool dm, bool isnetto,
                                int32_t row, uint32_t numbers, LineArena& arena);

  // Text field `index` (0-20, the fields without DM, Isnetto and Row, in order).
  std::string_view Text(int index) const {
    const uint32_t begin = index > 0 ? End(index - 1) : 0;
    return std::string_view(TextStart() + begin, End(index) - begin);
  }
  // All text fields at once, in order.
  void Texts(std::string_view (&out)[kTexts]) const {
    if (Wide())
      TextsOf<uint32_t>(out);
    else
      TextsOf<uint16_t>(out);
  }
  bool DM() const { return (flags_ & kDM) != 0; }
  bool Isnetto() const { return (flags_ & kIsnetto) != 0; }
  int32_t Row() const { return row_; }

  // An ordinary line with the same fields, owned by nobody.
  void UnpackInto(TDataGridLine& line) const;

 private:
  PackedLine() = default;
  static constexpr uint8_t kDM = 1, kIsnetto = 2, kWide = 4;
  const char* Ends() const { return reinterpret_cast<const char*>(this + 1); }
  bool Wide() const { return (flags_ & kWide) != 0; }
  // Where text `index` ends, counted from the first text.
  uint32_t End(int index) const {
    if (Wide()) {
      uint32_t end;
      std::memcpy(&end, Ends() + 4 * index, 4);
      return end;
    }
    uint16_t end;
    std::memcpy(&end, Ends() + 2 * index, 2);
    return end;
  }
  const char* TextStart() const { return Ends() + (Wide() ? 4 : 2) * kTexts; }
  template <class EndType>
  void TextsOf(std::string_view (&out)[kTexts]) const {
    const char* const ends = Ends();
    const char* const text = ends + sizeof(EndType) * kTexts;
    uint32_t begin = 0;
    for (int i = 0; i < kTexts; ++i) {
      EndType end;
      std::memcpy(&end, ends + sizeof(EndType) * i, sizeof end);
      out[i] = std::string_view(text + begin, end - begin);
      begin = end;
    }
  }

  int32_t row_ = 0;
  uint8_t flags_ = 0;
  // Behind the header: kTexts end offsets (uint16, or uint32 with kWide), then the texts.
};

// Read access to the fields of either kind of line. Cheap to copy; valid as long as the
// line it was made from.
class LineView {
 public:
  LineView(const TDataGridLine& line) : full_(&line) {}
  LineView(const PackedLine& line) : packed_(&line) {}

  std::string_view Text(LineField field) const {
    const int index = TextIndexOf(field);
    if (index < 0) return {};
    return packed_ ? packed_->Text(index) : FullText(index);
  }
  // All text fields at once, in the order of LineField without DM, Isnetto and Row.
  void Texts(std::string_view (&out)[PackedLine::kTexts]) const;
  // The texts of a packed line lie back to back, the last one ending its memory.
  bool Packed() const { return packed_ != nullptr; }
  bool DM() const { return packed_ ? packed_->DM() : full_->DM; }
  bool Isnetto() const { return packed_ ? packed_->Isnetto() : full_->Isnetto; }
  int32_t Row() const { return packed_ ? packed_->Row() : full_->Row; }

  std::string_view Stueck() const { return Text(LineField::Stueck); }
  std::string_view Einheit() const { return Text(LineField::Einheit); }
  std::string_view Bezeichnung1() const { return Text(LineField::Bezeichnung1); }
  std::string_view Artikelnummer() const { return Text(LineField::Artikelnummer); }
  std::string_view SummeBetrag() const { return Text(LineField::SummeBetrag); }
  std::string_view Pos() const { return Text(LineField::Pos); }

 private:
  // The index among the text fields of a field that is a text; -1 for DM, Isnetto and Row.
  static constexpr int TextIndexOf(LineField field) {
    const int f = static_cast<int>(field);
    if (field == LineField::DM || field == LineField::Isnetto || field == LineField::Row) return -1;
    return f - (f > static_cast<int>(LineField::DM)) - (f > static_cast<int>(LineField::Isnetto)) -
           (f > static_cast<int>(LineField::Row));
  }
  std::string_view FullText(int index) const;

  const PackedLine* packed_ = nullptr;
  const TDataGridLine* full_ = nullptr;
};

// A position row of a table being read (TDataGrid::VisitRows) packed as the row conversion
// fills a line from it, numbers normalised.
const PackedLine* PackRowView(const TDataGridRowView& row, const TColumnIndexRecord& index,
                              LineArena& arena);

}  // namespace dz
