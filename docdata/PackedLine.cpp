#include "docdata/PackedLine.h"

#include <cstring>
#include <new>

#include "docdata/BlockPool.h"
#include "docdata/DataGrid.h"
#include "docdata/NumberFormat.h"
#include "docdata/RowConversion.h"

#if defined(__SANITIZE_ADDRESS__)
#define DZ_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DZ_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef DZ_ADDRESS_SANITIZER
#define DZ_ADDRESS_SANITIZER 0
#endif

namespace dz {

namespace {

// The text fields of a line in field order.
std::string TDataGridLine::*const kTextMembers[PackedLine::kTexts] = {
    &TDataGridLine::Stueck,        &TDataGridLine::Einheit,       &TDataGridLine::Bezeichnung1,
    &TDataGridLine::Bezeichnung2,  &TDataGridLine::BestellNummer, &TDataGridLine::Seriennummer,
    &TDataGridLine::Artikelnummer, &TDataGridLine::Einzelbetrag,  &TDataGridLine::Steuer,
    &TDataGridLine::SummeBetrag,   &TDataGridLine::intern,        &TDataGridLine::ID_Artikel,
    &TDataGridLine::Rabatt,        &TDataGridLine::Second,        &TDataGridLine::TypeLine,
    &TDataGridLine::User,          &TDataGridLine::Rows,          &TDataGridLine::Hash,
    &TDataGridLine::Pos,           &TDataGridLine::ExtraData,     &TDataGridLine::L2,
};

constexpr int kStueck = 0, kEinheit = 1, kBezeichnung1 = 2, kBezeichnung2 = 3, kBestellNummer = 4,
              kSeriennummer = 5, kArtikelnummer = 6, kEinzelbetrag = 7, kSteuer = 8,
              kSummeBetrag = 9, kIntern = 10, kIdArtikel = 11, kRabatt = 12, kSecond = 13,
              kTypeLine = 14, kUser = 15, kPos = 18;

constexpr uint32_t kNumberFields =
    1u << kStueck | 1u << kEinzelbetrag | 1u << kSteuer | 1u << kSummeBetrag | 1u << kRabatt;

// The part NormalizeNumber keeps: codes 0-32 trimmed at both ends.
std::string_view Trimmed(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return text.substr(b, e - b);
}

// Standard pieces of arenas that are gone, for the next ones.
class PiecePool {
 public:
  std::unique_ptr<char[]> Take() { return blocks_.Take(); }
  // Keeps what fits and frees the rest (as the caller's pieces go out of scope).
  void Give(std::vector<std::unique_ptr<char[]>>& pieces) {
#if DZ_ADDRESS_SANITIZER
    (void)pieces;  // freed, so that the sanitizer sees any use of a line after its arena
#else
    for (auto& piece : pieces) blocks_.Give(std::move(piece));
#endif
  }

 private:
  BlockPool blocks_{LineArena::kPieceSize, LineArena::kPoolPieces};
};

PiecePool& Pool() {
  static PiecePool* pool = new PiecePool;  // outlives every arena, also at exit
  return *pool;
}

}  // namespace

LineArena::~LineArena() {
  if (!standard_.empty()) Pool().Give(standard_);
}

void* LineArena::Allocate(size_t bytes, size_t align) {
  size_t skip = (align - reinterpret_cast<uintptr_t>(at_) % align) % align;
  if (bytes + skip > left_) {
    // A request of a piece's size or more gets a piece of its own; the current piece
    // stays in use for the small ones.
    if (bytes > kPieceSize) {
      large_.reserve(large_.size() + 1);
      large_.push_back(std::unique_ptr<char[]>(new char[bytes]));
      return large_.back().get();
    }
    standard_.reserve(standard_.size() + 1);
    standard_.push_back(Pool().Take());
    at_ = standard_.back().get();  // aligned for anything
    left_ = kPieceSize;
    skip = 0;
  }
  at_ += skip;
  left_ -= skip;
  void* p = at_;
  at_ += bytes;
  left_ -= bytes;
  return p;
}

std::string_view LineArena::Copy(std::string_view text) {
  if (text.empty()) return {};
  char* p = static_cast<char*>(Allocate(text.size(), 1));
  std::memcpy(p, text.data(), text.size());
  return std::string_view(p, text.size());
}

const PackedLine* PackedLine::Make(const std::string_view (&texts)[kTexts], bool dm, bool isnetto,
                                   int32_t row, uint32_t numbers, LineArena& arena) {
  struct Part {  // left uninitialised: every one is set below
    const char* data;
    size_t size;
  } parts[kTexts];
  size_t total = 0;
  for (int i = 0; i < kTexts; ++i) {
    const std::string_view part = (numbers >> i & 1) ? Trimmed(texts[i]) : texts[i];
    parts[i] = {part.data(), part.size()};
    total += part.size();
  }
  const bool wide = total > UINT16_MAX;
  if (total > UINT32_MAX) throw std::bad_alloc();
  const size_t endSize = wide ? 4 : 2;
  char* block = static_cast<char*>(
      arena.Allocate(sizeof(PackedLine) + kTexts * endSize + total, alignof(PackedLine)));
  PackedLine* line = new (block) PackedLine();
  line->row_ = row;
  line->flags_ =
      static_cast<uint8_t>((dm ? kDM : 0) | (isnetto ? kIsnetto : 0) | (wide ? kWide : 0));
  char* ends = block + sizeof(PackedLine);
  char* text = ends + kTexts * endSize;
  const char sep = Fmt().DecimalSeparator;
  uint32_t end = 0;
  for (int i = 0; i < kTexts; ++i) {
    const std::string_view part(parts[i].data, parts[i].size);
    if (!part.empty()) std::memcpy(text + end, part.data(), part.size());
    if (numbers >> i & 1)
      for (size_t k = 0; k < part.size(); ++k)
        if (text[end + k] == '.' || text[end + k] == ',') text[end + k] = sep;
    end += static_cast<uint32_t>(part.size());
    if (wide) {
      std::memcpy(ends + 4 * i, &end, 4);
    } else {
      const uint16_t e16 = static_cast<uint16_t>(end);
      std::memcpy(ends + 2 * i, &e16, 2);
    }
  }
  return line;
}

const PackedLine* PackedLine::Pack(const TDataGridLine& line, LineArena& arena,
                                   const std::string_view* quantity) {
  std::string_view texts[kTexts];
  for (int i = 0; i < kTexts; ++i) texts[i] = line.*kTextMembers[i];
  if (quantity) texts[kStueck] = *quantity;
  return Make(texts, line.DM, line.Isnetto, line.Row, 0, arena);
}

void PackedLine::UnpackInto(TDataGridLine& line) const {
  for (int i = 0; i < kTexts; ++i) line.*kTextMembers[i] = Text(i);
  line.DM = DM();
  line.Isnetto = Isnetto();
  line.Row = Row();
}

void LineView::Texts(std::string_view (&out)[PackedLine::kTexts]) const {
  if (packed_) {
    packed_->Texts(out);
    return;
  }
  for (int i = 0; i < PackedLine::kTexts; ++i) out[i] = full_->*kTextMembers[i];
}

std::string_view LineView::FullText(int index) const {
  return full_->*kTextMembers[index];
}

const PackedLine* PackRowView(const TDataGridRowView& row, const TColumnIndexRecord& index,
                              LineArena& arena) {
  // As the row conversion fills a new line: these fields from their columns, the rest
  // empty (rows being read carry no second-level data).
  std::string_view texts[PackedLine::kTexts];
  auto slot = [&](int s) { return row.Cell(index.Slot[static_cast<size_t>(s)]); };
  texts[kStueck] = slot(1);
  texts[kEinheit] = slot(2);
  texts[kBezeichnung1] = slot(3);
  texts[kBezeichnung2] = slot(4);
  texts[kBestellNummer] = slot(5);
  texts[kSeriennummer] = slot(6);
  texts[kArtikelnummer] = slot(7);
  texts[kEinzelbetrag] = slot(8);
  texts[kSteuer] = slot(9);
  texts[kSummeBetrag] = slot(10);
  texts[kIntern] = slot(11);
  texts[kIdArtikel] = slot(12);
  texts[kRabatt] = slot(15);
  texts[kUser] = slot(13);
  texts[kPos] = slot(14);
  texts[kSecond] = row.Cell(-2);
  texts[kTypeLine] = row.Cell(0);
  return PackedLine::Make(texts, false, false, 0, kNumberFields, arena);
}

}  // namespace dz
