#pragma once
// Positions together with the document they came from (TLineStorage), the equality rule
// for positions (FindMatch) and the sort order of the views.
//
// A storage owns its entries. Their packed lines and document references live in arenas
// (EntryArena) that every storage with an entry referring into them keeps, so they live
// as long as the last such storage (or its next Clear). Adding never moves an entry; Sort moves the
// entries into their new order, so a pointer to an entry (the grid keeps them) holds until
// the next Sort or Clear.
// Nothing here throws but std::bad_alloc.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "docdata/DataGridLine.h"
#include "docdata/PackedLine.h"
#include "docdata/RowConversion.h"

namespace dz {

class TJsonValue;

struct DocumentRef {
  std::string Number;  // document number text; for merged entries a blank-separated list
  int32_t ID = 0;
  uint8_t Type = 0;  // 2 offer, 7 order confirmation
  double Date = 0;   // days
};

// The line of an entry. Lines are kept packed (PackedLine) in arenas their storages hold;
// the views share the packed line of the entry they were taken from and keep their own
// quantity beside it, so a view costs no copy of the line. Asking for the whole line (get,
// ->, *) gives the entry an ordinary line of its own first, with its quantity in Stueck,
// which it then keeps: writing to it never reaches another entry. Readers that only look
// (the grid, the report) use Shared and Quantity and leave the line packed.
class LineHandle {
 public:
  LineHandle() = default;
  // An entry outside any storage may hold an ordinary line of its own.
  LineHandle& operator=(std::unique_ptr<TDataGridLine> line);

  TDataGridLine* get() const;
  TDataGridLine* operator->() const { return get(); }
  TDataGridLine& operator*() const { return *get(); }
  explicit operator bool() const { return packed_ != nullptr || own_ != nullptr; }

  // The fields as they may be shared with other entries: Stueck there need not be this
  // entry's quantity. Requires a line.
  LineView Shared() const { return own_ ? LineView(*own_) : LineView(*packed_); }
  // Asks for the packed line to be brought into the cache: walks over many entries read
  // their lines in an order of their own, one cache miss after the other otherwise.
  void Prefetch() const {
#if defined(__GNUC__)
    const char* p = reinterpret_cast<const char*>(packed_);
    if (!p) return;
    for (int line = 0; line < 4; ++line) __builtin_prefetch(p + 64 * line);
#endif
  }
  // This entry's quantity text. Requires a line.
  std::string_view Quantity() const {
    return own_ ? std::string_view(own_->Stueck) : QuantityText();
  }

 private:
  friend class TLineStorage;
  // The quantity while the line is packed: a text of up to kInline bytes lies in the
  // handle itself (reading it then needs nothing but the entry), a longer one is a view of
  // `stable`, which must live as long as the entry.
  static constexpr size_t kInline = 15;
  static constexpr unsigned char kFar = 0xFF;  // quantity_[15] for a view
  void SetQuantityText(std::string_view text, std::string_view stable);
  std::string_view QuantityText() const;

  const PackedLine* packed_ = nullptr;
  mutable std::unique_ptr<TDataGridLine> own_;  // once the whole line was asked for
  alignas(8) char quantity_[16] = {};           // text and size, or pointer, size and kFar
};

// What entries refer to: packed lines and the references of their documents. Shared by
// every storage with an entry referring into it, freed with the last of them.
struct EntryArena {
  LineArena lines;
  std::deque<DocumentRef> refs;
};

struct LineEntry {
  const DocumentRef* Ref = nullptr;  // shared with the other entries of its document
  LineHandle Line;
  double Difference = 0;  // shown in brackets after the quantity
  int32_t Matched = 0;

 private:
  friend class TLineStorage;
  bool ownRef_ = false;  // Ref is this entry's alone
};

class TLineStorage {
 public:
  TLineStorage() = default;
  TLineStorage(const TLineStorage&) = delete;
  TLineStorage& operator=(const TLineStorage&) = delete;

  int Count() const { return static_cast<int>(entries_.size()); }
  LineEntry& Entry(int index) { return entries_[static_cast<size_t>(index)]; }
  const LineEntry& Entry(int index) const { return entries_[static_cast<size_t>(index)]; }

  void Clear();
  // Room for `more` entries to be added without growing step by step.
  void Reserve(int more);

  // Appends an entry for `line` (taken over) with a copy of `ref`; the line's numbers are
  // normalised first. Difference 0, matched 0.
  LineEntry& Add(const DocumentRef& ref, std::unique_ptr<TDataGridLine> line);
  // An entry for a packed line (numbers normalised) that lives in `arena`, which the
  // storage then keeps.
  LineEntry& AddPacked(const DocumentRef& ref, const PackedLine* line,
                       const std::shared_ptr<EntryArena>& arena);

  // A position of the host document: the line by the document's key mapping (DM false,
  // Isnetto true), numbers normalised. Raises the JSON value errors of the mapping.
  LineEntry& AddFromPosition(const DocumentRef& ref, TJsonValue& position);
  // Row `row` of a loaded stored table, by the row conversion, numbers normalised.
  LineEntry& AddFromRow(const DocumentRef& ref, const TDataGrid& table,
                        const TColumnIndexRecord& index, int row);

  // A new entry with a copy of `ref` and a copy of `line`, whose quantity becomes `quantity`
  // (unchanged text). The difference N(line.Stueck) - N(quantity), rounded to a double,
  // is kept when its magnitude is at least 0.01.
  LineEntry& AddWithQuantity(const DocumentRef& ref, const std::string& quantity,
                             const TDataGridLine& line);

  // Makes `quantity` the quantity of `entry`, an entry of this storage.
  void SetQuantity(LineEntry& entry, std::string_view quantity);
  // The reference of `entry`, an entry of this storage, made its own first (the others of
  // its document keep theirs).
  DocumentRef& MutableRef(LineEntry& entry);

  // Orders by Bezeichnung1, then Artikelnummer (bytes, unsigned), then document date.
  void Sort();

  // The first entry (in storage order) equal to `probe` and its index, or nullptr and -1.
  // Equal means: the candidate has a part number and both part numbers agree ignoring
  // letter case, or the candidate has a description and both descriptions agree ignoring
  // letter case and blanks. Answered from indexes kept alongside the entries.
  LineEntry* FindMatch(LineView probe, int* index = nullptr);
  // The same rule as a plain walk over the storage; the reference the indexed search is
  // checked against.
  LineEntry* FindMatchPlain(LineView probe, int* index = nullptr) const;

  // The matching keys of an entry: its lower-cased part number and compacted description
  // with their hashes, made once when the entry is added (the fields they come from are
  // not expected to change afterwards). The texts lie back to back in the storage.
  struct MatchKeys {
    uint32_t numberHash = 0, descriptionHash = 0;
    uint32_t at = 0;  // the part number's key, the description's right behind it
    uint32_t numberSize = 0, descriptionSize = 0;
    bool hasNumber = false, hasDescription = false;  // the fields are not empty
  };

 private:
  friend void ComputeViews(TLineStorage&, TLineStorage&, TLineStorage&, TLineStorage&, bool,
                           const std::function<void()>&);

  // A new last entry for `line` (numbers normalised), which must live as long as the
  // storage keeps its arenas, with a copy of `ref` and `difference`.
  LineEntry& AppendPacked(const DocumentRef& ref, const PackedLine* line, double difference = 0);
  // Stores `entry` (its keys added already) as the last entry.
  LineEntry& Append(LineEntry&& entry);
  // The keys of `line` appended to keys_ (and their texts to keyText_).
  void AddKeys(LineView line);
  // A copy of entry `index`'s keys of `from`.
  void AddKeys(const TLineStorage& from, int index);
  // Raises std::bad_alloc when the key texts outgrow the key records' offsets.
  void KeepOffsetsExact();
  // The key records point into keyText_ by construction.
  std::string_view NumberKey(const MatchKeys& k) const {
    return std::string_view(keyText_.data() + k.at, k.numberSize);
  }
  std::string_view DescriptionKey(const MatchKeys& k) const {
    return std::string_view(keyText_.data() + k.at + k.numberSize, k.descriptionSize);
  }
  // A copy of entry `index` of `from` (keys included) with `quantity` as its quantity.
  LineEntry& AddTaken(const TLineStorage& from, int index, std::string_view quantity);
  // The arena for what this storage packs itself.
  EntryArena& OwnArena();
  // Keeps `arena` as long as the entries do.
  void KeepArena(const std::shared_ptr<EntryArena>& arena);
  // A reference equal to `ref` that lives as long as the entries; consecutive entries of
  // one document share it.
  const DocumentRef* StoreRef(const DocumentRef& ref);

  // Two key records of this storage that every search answers alike, whatever the storage
  // searched: the same keys, at least one of them there. An entry added for the first of
  // them holds them in the searched storage's indexes, so it is what the second finds.
  bool SameKeys(const MatchKeys& a, const MatchKeys& b) const;
  void IndexEntry(int index);
  void BuildIndex();
  // The first entry matching `probe`, a key record of `owner`, as FindMatch answers it.
  int FindKeys(const TLineStorage& owner, const MatchKeys& probe);
  // The first index of a lower-cased part number / compacted description, or -1; with
  // `insert` recorded for it when the key is new.
  int FindNumber(std::string_view key, uint32_t hash, int insert = -1);
  int FindDescription(std::string_view key, uint32_t hash, int insert = -1);

  // First index per key, in one flat open-addressing table: the key's hash and the entry
  // that holds it. A hit is confirmed against the entry's key text.
  class KeyIndex {
   public:
    void Clear();
    void Reserve(size_t keys);
    bool Empty() const { return used_ == 0; }
    // The first index of `key` (under `same`, comparing the key with an entry's key),
    // or -1; with `insert` the index is recorded when the key is new.
    template <class Same>
    int Find(uint32_t hash, Same&& same, int insert = -1);

   private:
    struct Slot {
      uint32_t hash;
      int32_t index;  // -1: free
    };
    std::vector<Slot> slots_;
    size_t used_ = 0;
  };

  // The entries in storage order, also in memory: adding never moves one, sorting does.
  std::deque<LineEntry> entries_;
  std::vector<MatchKeys> keys_;  // one per entry, in the same order
  std::string keyText_;
  // By lower-cased part number / compacted description, for candidates whose field is not
  // empty. Valid while indexed_ is true.
  KeyIndex byNumber_;
  KeyIndex byDescription_;
  bool indexed_ = false;
  std::string numberKey_, descriptionKey_;  // reused between searches
  // Every arena a line of an entry lives in, the own one among them.
  std::vector<std::shared_ptr<EntryArena>> arenas_;
  EntryArena* ownArena_ = nullptr;
};

// Lower-cased text without blanks (space characters only).
std::string CompactText(std::string_view text);
void CompactTextInto(std::string& out, std::string_view text);
void LowerCaseInto(std::string& out, std::string_view text);

// Merged and Missing from Invoiced and Source. `plain` uses the plain walk for every
// search (for comparison only; quadratic). `onMergedComplete` is called once Merged holds
// its final entries: from then on Merged is only read (its entries by other threads too).
void ComputeViews(TLineStorage& source, TLineStorage& invoiced, TLineStorage& merged,
                  TLineStorage& missing, bool plain = false,
                  const std::function<void()>& onMergedComplete = {});

}  // namespace dz
