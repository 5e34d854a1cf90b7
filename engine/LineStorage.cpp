#include "engine/LineStorage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "docdata/Cp1252.h"
#include "docdata/MVJSONObject.h"
#include "docdata/NumberFormat.h"

namespace dz {

namespace {

// The threshold is the extended value nearest 0.01, which lies just below the double
// nearest 0.01: a difference that rounds to that double still counts.
constexpr long double kThreshold = 0.01L;

// The rule in its plain form, compared in place without building the keys.
bool SameLowerCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const unsigned char* lower = LowerTable();
  for (size_t i = 0; i < a.size(); ++i)
    if (lower[static_cast<unsigned char>(a[i])] != lower[static_cast<unsigned char>(b[i])])
      return false;
  return true;
}

bool SameCompactText(std::string_view a, std::string_view b) {
  const unsigned char* lower = LowerTable();
  size_t i = 0, j = 0;
  while (true) {
    while (i < a.size() && a[i] == ' ') ++i;
    while (j < b.size() && b[j] == ' ') ++j;
    if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
    if (lower[static_cast<unsigned char>(a[i])] != lower[static_cast<unsigned char>(b[j])])
      return false;
    ++i;
    ++j;
  }
}

bool CandidateEqual(LineView c, LineView p) {
  if (!c.Artikelnummer().empty() && SameLowerCase(p.Artikelnummer(), c.Artikelnummer()))
    return true;
  if (!c.Bezeichnung1().empty() && SameCompactText(p.Bezeichnung1(), c.Bezeichnung1())) return true;
  return false;
}

}  // namespace

void CompactTextInto(std::string& out, std::string_view text) {
  const unsigned char* lower = LowerTable();
  out.resize(text.size());
  size_t n = 0;
  for (char c : text)
    if (c != ' ') out[n++] = static_cast<char>(lower[static_cast<unsigned char>(c)]);
  out.resize(n);
}

void LowerCaseInto(std::string& out, std::string_view text) {
  const unsigned char* lower = LowerTable();
  out.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    out[i] = static_cast<char>(lower[static_cast<unsigned char>(text[i])]);
}

std::string CompactText(std::string_view text) {
  std::string out;
  CompactTextInto(out, text);
  return out;
}

namespace {

uint32_t KeyHash(std::string_view key) {
  const uint64_t h = std::hash<std::string_view>{}(key);
  return static_cast<uint32_t>(h ^ h >> 32);
}

}  // namespace

void LineHandle::SetQuantityText(std::string_view text, std::string_view stable) {
  if (text.size() <= kInline) {
    if (!text.empty()) std::memmove(quantity_, text.data(), text.size());  // may be its own
    quantity_[15] = static_cast<char>(text.size());
    return;
  }
  const char* at = stable.data();
  const auto size = static_cast<uint32_t>(stable.size());
  std::memcpy(quantity_, &at, sizeof at);
  std::memcpy(quantity_ + 8, &size, sizeof size);
  quantity_[15] = static_cast<char>(kFar);
}

std::string_view LineHandle::QuantityText() const {
  const auto tag = static_cast<unsigned char>(quantity_[15]);
  if (tag != kFar) return std::string_view(quantity_, tag);
  const char* at;
  uint32_t size;
  std::memcpy(&at, quantity_, sizeof at);
  std::memcpy(&size, quantity_ + 8, sizeof size);
  return std::string_view(at, size);
}

LineHandle& LineHandle::operator=(std::unique_ptr<TDataGridLine> line) {
  own_ = std::move(line);
  packed_ = nullptr;
  SetQuantityText({}, {});
  return *this;
}

TDataGridLine* LineHandle::get() const {
  if (!own_ && packed_) {
    auto line = std::make_unique<TDataGridLine>();
    packed_->UnpackInto(*line);
    line->Stueck = QuantityText();
    own_ = std::move(line);
  }
  return own_.get();
}

void TLineStorage::KeyIndex::Clear() {
  slots_.clear();
  used_ = 0;
}

void TLineStorage::KeyIndex::Reserve(size_t keys) {
  size_t capacity = 16;
  while (capacity < keys * 2) capacity <<= 1;
  if (capacity <= slots_.size()) return;
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(capacity, Slot{0, -1});
  for (const Slot& s : old) {
    if (s.index < 0) continue;
    size_t at = s.hash & (capacity - 1);
    while (slots_[at].index >= 0) at = (at + 1) & (capacity - 1);
    slots_[at] = s;
  }
}

template <class Same>
int TLineStorage::KeyIndex::Find(uint32_t hash, Same&& same, int insert) {
  // At half full the table grows fourfold: one that grows key by key moves its slots half
  // as often.
  if (insert >= 0 && (used_ + 1) * 2 > slots_.size()) Reserve(2 * (used_ + 1));
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  for (size_t at = hash & mask;; at = (at + 1) & mask) {
    Slot& s = slots_[at];
    if (s.index < 0) {
      if (insert >= 0) {
        s = Slot{hash, insert};
        ++used_;
      }
      return -1;
    }
    if (s.hash == hash && same(s.index)) return s.index;
  }
}

void TLineStorage::Reserve(int more) {
  if (more > 0) keys_.reserve(keys_.size() + static_cast<size_t>(more));
}

void TLineStorage::Clear() {
  entries_.clear();
  keys_.clear();
  keyText_.clear();
  byNumber_.Clear();
  byDescription_.Clear();
  indexed_ = false;
  arenas_.clear();
  ownArena_ = nullptr;
}

EntryArena& TLineStorage::OwnArena() {
  if (!ownArena_) {
    auto arena = std::make_shared<EntryArena>();
    arenas_.push_back(arena);
    ownArena_ = arena.get();
  }
  return *ownArena_;
}

void TLineStorage::KeepArena(const std::shared_ptr<EntryArena>& arena) {
  for (auto it = arenas_.rbegin(); it != arenas_.rend(); ++it)
    if (*it == arena) return;
  arenas_.push_back(arena);
}

void TLineStorage::SetQuantity(LineEntry& entry, std::string_view quantity) {
  if (entry.Line.own_)
    entry.Line.own_->Stueck = quantity;
  else
    entry.Line.SetQuantityText(quantity, quantity.size() > LineHandle::kInline
                                             ? OwnArena().lines.Copy(quantity)
                                             : std::string_view());
}

const DocumentRef* TLineStorage::StoreRef(const DocumentRef& ref) {
  std::deque<DocumentRef>& refs = OwnArena().refs;
  if (!refs.empty()) {
    const DocumentRef& last = refs.back();
    if (last.ID == ref.ID && last.Type == ref.Type && last.Date == ref.Date &&
        last.Number == ref.Number)
      return &last;
  }
  return &refs.emplace_back(ref);
}

DocumentRef& TLineStorage::MutableRef(LineEntry& entry) {
  if (!entry.ownRef_) {
    entry.Ref = &OwnArena().refs.emplace_back(*entry.Ref);
    entry.ownRef_ = true;
  }
  return const_cast<DocumentRef&>(*entry.Ref);
}

LineEntry& TLineStorage::Add(const DocumentRef& ref, std::unique_ptr<TDataGridLine> line) {
  NormalizeLineNumbers(*line);
  return AppendPacked(ref, PackedLine::Pack(*line, OwnArena().lines));
}

LineEntry& TLineStorage::Append(LineEntry&& entry) {
  try {
    entries_.push_back(std::move(entry));
  } catch (...) {
    keys_.pop_back();  // the entry was never added
    throw;
  }
  if (indexed_) IndexEntry(Count() - 1);
  return entries_.back();
}

void TLineStorage::KeepOffsetsExact() {
  // The key records hold 32-bit offsets: key texts beyond them would make them point at the
  // wrong keys, so such a run counts as out of memory.
  if (keyText_.size() > UINT32_MAX) throw std::bad_alloc();
}

void TLineStorage::AddKeys(LineView line) {
  // The keys are made in place behind the texts already there.
  const unsigned char* lower = LowerTable();
  MatchKeys k;
  const size_t start = keyText_.size();
  const std::string_view number = line.Artikelnummer(), description = line.Bezeichnung1();
  keyText_.resize(start + number.size() + description.size());
  char* const text = keyText_.data();
  char* w = text + start;
  for (const char c : number) *w++ = static_cast<char>(lower[static_cast<unsigned char>(c)]);
  k.hasNumber = !number.empty();
  k.numberSize = static_cast<uint32_t>(number.size());
  if (k.hasNumber) k.numberHash = KeyHash(std::string_view(text + start, number.size()));
  // A probe's description is looked up even when it is empty.
  k.hasDescription = !description.empty();
  for (const char c : description)
    if (c != ' ') *w++ = static_cast<char>(lower[static_cast<unsigned char>(c)]);
  const size_t end = static_cast<size_t>(w - text);
  k.descriptionSize = static_cast<uint32_t>(end - start - number.size());
  k.descriptionHash = KeyHash(std::string_view(text + start + number.size(), k.descriptionSize));
  keyText_.resize(end);
  KeepOffsetsExact();
  k.at = static_cast<uint32_t>(start);
  keys_.push_back(k);
}

void TLineStorage::AddKeys(const TLineStorage& from, int index) {
  MatchKeys k = from.keys_[static_cast<size_t>(index)];
  const size_t start = keyText_.size();
  keyText_.append(from.keyText_, k.at, size_t{k.numberSize} + k.descriptionSize);  // both keys
  KeepOffsetsExact();
  k.at = static_cast<uint32_t>(start);
  keys_.push_back(k);
}

LineEntry& TLineStorage::AppendPacked(const DocumentRef& ref, const PackedLine* line,
                                      double difference) {
  LineEntry e;
  e.Ref = StoreRef(ref);
  e.Line.packed_ = line;
  e.Line.SetQuantityText(line->Text(0), line->Text(0));
  e.Difference = difference;
  AddKeys(*line);
  return Append(std::move(e));
}

LineEntry& TLineStorage::AddPacked(const DocumentRef& ref, const PackedLine* line,
                                   const std::shared_ptr<EntryArena>& arena) {
  KeepArena(arena);
  return AppendPacked(ref, line);
}

LineEntry& TLineStorage::AddFromPosition(const DocumentRef& ref, TJsonValue& position) {
  auto line = std::make_unique<TDataGridLine>();
  FillLineFromPosition(position, *line);
  return Add(ref, std::move(line));
}

LineEntry& TLineStorage::AddFromRow(const DocumentRef& ref, const TDataGrid& table,
                                    const TColumnIndexRecord& index, int row) {
  return Add(ref, RowToLine(table, index, row));
}

LineEntry& TLineStorage::AddWithQuantity(const DocumentRef& ref, const std::string& quantity,
                                         const TDataGridLine& line) {
  const std::string_view q = quantity;
  const PackedLine* packed = PackedLine::Pack(line, OwnArena().lines, &q);
  const double d = static_cast<double>(N(line.Stueck) - N(quantity));
  return AppendPacked(ref, packed, std::fabs(static_cast<long double>(d)) >= kThreshold ? d : 0);
}

LineEntry& TLineStorage::AddTaken(const TLineStorage& from, int index, std::string_view quantity) {
  const LineEntry& source = from.Entry(index);
  LineEntry e;
  // The reference and the packed line stay where they are: the arenas of `from` are kept.
  for (const auto& arena : from.arenas_) KeepArena(arena);
  e.Ref = source.Ref;
  if (source.Line.own_) {
    // The entry has a line of its own, which may have changed: this one takes a copy.
    e.Line.packed_ = PackedLine::Pack(*source.Line.own_, OwnArena().lines);
  } else {
    e.Line.packed_ = source.Line.packed_;
  }
  // A short quantity lies in the entry. A long one that is the line's own text needs no
  // copy; the line is only looked at then.
  std::string_view stable;
  if (quantity.size() > LineHandle::kInline) {
    const std::string_view stueck = e.Line.packed_->Text(0);
    const bool own = quantity.data() == stueck.data() && quantity.size() == stueck.size();
    stable = own ? stueck : OwnArena().lines.Copy(quantity);
  }
  e.Line.SetQuantityText(quantity, stable);
  // The same text reads as the same number: no difference (nor one from a text that
  // reads as infinite, whose difference is not a number).
  if (quantity != source.Line.Quantity()) {
    const double d = static_cast<double>(N(source.Line.Quantity()) - N(quantity));
    if (std::fabs(static_cast<long double>(d)) >= kThreshold) e.Difference = d;
  }
  AddKeys(from, index);
  return Append(std::move(e));
}

namespace {

struct SortKey {
  // The first 24 bytes of the description: descriptions often begin alike.
  uint64_t prefix[3];
  uint32_t index;  // the entry's position before sorting, where the rest is looked up
};

// The first 24 bytes of a text as three big-endian numbers, zeros after its end: when two
// texts agree before a number's bytes and these numbers differ, they order the texts as
// comparing the texts does.
SortKey OrderPrefix(std::string_view text, uint32_t index) {
  char bytes[24] = {};
  std::memcpy(bytes, text.data(), std::min<size_t>(text.size(), sizeof bytes));
  SortKey key{{0, 0, 0}, index};
  for (int k = 0; k < 3; ++k) {
    std::memcpy(&key.prefix[k], bytes + 8 * k, 8);
    if constexpr (std::endian::native == std::endian::little)
      key.prefix[k] = __builtin_bswap64(key.prefix[k]);
  }
  return key;
}

}  // namespace

void TLineStorage::Sort() {
  // std::string compares through char_traits<char>, i.e. as unsigned bytes, with a prefix
  // before the longer text. Stable, so equal entries keep their insertion order.
  // The keys move along with their entries.
  std::vector<SortKey> order(entries_.size());
  auto entry = entries_.cbegin();
  for (size_t i = 0; i < order.size(); ++i, ++entry)
    order[i] = OrderPrefix(entry->Line.Shared().Bezeichnung1(), static_cast<uint32_t>(i));
  std::stable_sort(order.begin(), order.end(), [this](const SortKey& a, const SortKey& b) {
    for (int k = 0; k < 3; ++k)
      if (a.prefix[k] != b.prefix[k]) return a.prefix[k] < b.prefix[k];
    const LineEntry& x = entries_[a.index];
    const LineEntry& y = entries_[b.index];
    const LineView l = x.Line.Shared(), r = y.Line.Shared();
    int c = l.Bezeichnung1().compare(r.Bezeichnung1());
    if (c != 0) return c < 0;
    c = l.Artikelnummer().compare(r.Artikelnummer());
    if (c != 0) return c < 0;
    // Dates that are no number (a damaged document) come last, as equals.
    const double dx = x.Ref->Date, dy = y.Ref->Date;
    if (std::isnan(dx) != std::isnan(dy)) return std::isnan(dy);
    return dx < dy;
  });
  // The entries move into their new order in place, so that walking the storage walks
  // memory; nothing is allocated while they move. Position j takes the entry at
  // order[j].index: each cycle of that permutation is followed once, and a position that
  // has its entry is marked by pointing at itself.
  for (size_t i = 0; i < order.size(); ++i) {
    if (order[i].index == i) continue;
    LineEntry entry = std::move(entries_[i]);
    const MatchKeys keys = keys_[i];
    for (size_t j = i;;) {
      const size_t k = order[j].index;
      order[j].index = static_cast<uint32_t>(j);
      if (k == i) {
        entries_[j] = std::move(entry);
        keys_[j] = keys;
        break;
      }
      entries_[j] = std::move(entries_[k]);
      keys_[j] = keys_[k];
      j = k;
    }
  }
  // The key texts follow, so that walking the keys in order walks their texts in order
  // too (the views compare each entry's keys with those of the one before).
  std::string text;
  text.reserve(keyText_.size());
  for (MatchKeys& k : keys_) {
    const size_t at = text.size();
    text.append(keyText_, k.at, size_t{k.numberSize} + k.descriptionSize);
    k.at = static_cast<uint32_t>(at);
  }
  keyText_.swap(text);
  byNumber_.Clear();
  byDescription_.Clear();
  indexed_ = false;
}

// A hit is confirmed against the entry's key text: equal keys are exactly what the rule
// calls equal (lower-casing, and so compacting, gives the same text when applied twice).
int TLineStorage::FindNumber(std::string_view key, uint32_t hash, int insert) {
  return byNumber_.Find(
      hash, [&](int i) { return NumberKey(keys_[static_cast<size_t>(i)]) == key; }, insert);
}

int TLineStorage::FindDescription(std::string_view key, uint32_t hash, int insert) {
  return byDescription_.Find(
      hash, [&](int i) { return DescriptionKey(keys_[static_cast<size_t>(i)]) == key; }, insert);
}

bool TLineStorage::SameKeys(const MatchKeys& a, const MatchKeys& b) const {
  // Without either key an entry is never found, not even after one like it was added.
  if (!b.hasNumber && !b.hasDescription) return false;
  // Both keys lie back to back: of equal sizes, they are equal where their bytes are.
  return a.numberHash == b.numberHash && a.descriptionHash == b.descriptionHash &&
         a.hasNumber == b.hasNumber && a.hasDescription == b.hasDescription &&
         a.numberSize == b.numberSize && a.descriptionSize == b.descriptionSize &&
         std::memcmp(keyText_.data() + a.at, keyText_.data() + b.at,
                     size_t{a.numberSize} + a.descriptionSize) == 0;
}

void TLineStorage::IndexEntry(int index) {
  const MatchKeys& k = keys_[static_cast<size_t>(index)];
  // A key already present keeps its first (lowest) index.
  if (k.hasNumber) FindNumber(NumberKey(k), k.numberHash, index);
  if (k.hasDescription) FindDescription(DescriptionKey(k), k.descriptionHash, index);
}

void TLineStorage::BuildIndex() {
  byNumber_.Clear();
  byDescription_.Clear();
  byNumber_.Reserve(entries_.size());
  byDescription_.Reserve(entries_.size());
  indexed_ = true;
  for (int i = 0; i < Count(); ++i) IndexEntry(i);
}

int TLineStorage::FindKeys(const TLineStorage& owner, const MatchKeys& probe) {
  if (!indexed_) BuildIndex();
  int best = -1;
  if (probe.hasNumber && !byNumber_.Empty())
    best = FindNumber(owner.NumberKey(probe), probe.numberHash);
  if (!byDescription_.Empty()) {
    const int d = FindDescription(owner.DescriptionKey(probe), probe.descriptionHash);
    if (d >= 0 && (best < 0 || d < best)) best = d;
  }
  return best;
}

LineEntry* TLineStorage::FindMatch(LineView probe, int* index) {
  if (!indexed_) BuildIndex();
  int best = -1;
  if (!byNumber_.Empty() && !probe.Artikelnummer().empty()) {
    LowerCaseInto(numberKey_, probe.Artikelnummer());
    best = FindNumber(numberKey_, KeyHash(numberKey_));
  }
  if (!byDescription_.Empty()) {
    CompactTextInto(descriptionKey_, probe.Bezeichnung1());
    const int d = FindDescription(descriptionKey_, KeyHash(descriptionKey_));
    if (d >= 0 && (best < 0 || d < best)) best = d;
  }
  if (index) *index = best;
  return best < 0 ? nullptr : &entries_[static_cast<size_t>(best)];
}

LineEntry* TLineStorage::FindMatchPlain(LineView probe, int* index) const {
  for (int i = 0; i < Count(); ++i) {
    if (CandidateEqual(entries_[static_cast<size_t>(i)].Line.Shared(), probe)) {
      if (index) *index = i;
      return const_cast<LineEntry*>(&entries_[static_cast<size_t>(i)]);
    }
  }
  if (index) *index = -1;
  return nullptr;
}

namespace {

// A merged quantity added up exactly, in thousandths. Adding step by step reads both
// texts (each the nearest extended value to its decimal) and formats the sum to 15
// significant digits. When the exact sum has at most 15 digits and the addends are not
// more than a thousand times larger than it, the extended sum lies within 1e-16 of the
// exact one, far inside the half unit of the 15th digit: formatting gives the exact sum's
// digits, which reads back as the nearest value again. So the texts are the same.
struct ExactSum {
  static constexpr int64_t kMost = 1000000000000000;  // 15 digits
  int64_t thousandths = 0;
  bool exact = false;
  bool changed = false;

  bool Add(int64_t add) {
    const int64_t sum = thousandths + add;
    if (sum >= kMost || sum <= -kMost) return false;
    const uint64_t magnitudes = Abs(thousandths) + Abs(add);
    if (sum != 0 && magnitudes > 1000 * Abs(sum)) return false;
    thousandths = sum;
    changed = true;
    return true;
  }
  std::string Text() const { return ThousandthsText(thousandths); }
  static uint64_t Abs(int64_t v) { return v < 0 ? 0 - static_cast<uint64_t>(v) : v; }
};

void AddStepByStep(TLineStorage& merged, LineEntry& m, const LineEntry& e) {
  merged.SetQuantity(m, T(N(m.Line.Quantity()) + N(e.Line.Quantity())));
  merged.MutableRef(m).Number.append(1, ' ').append(e.Ref->Number);
}

}  // namespace

void ComputeViews(TLineStorage& source, TLineStorage& invoiced, TLineStorage& merged,
                  TLineStorage& missing, bool plain,
                  const std::function<void()>& onMergedComplete) {
  merged.Clear();
  missing.Clear();
  // Equal invoiced positions merge into the first of them: quantities added, document
  // numbers joined by blanks. The rule adds and formats step by step; where it cannot
  // make a difference (see ExactSum) the sum is kept exact and formatted once.
  std::vector<ExactSum> sums;
  // Sorted, equal positions follow each other: an entry whose keys are those of the entry
  // before finds what that one found, or the entry it became (see SameKeys).
  const TLineStorage::MatchKeys* lastKeys = nullptr;
  int lastAt = -1;
  // The storages are walked in order through iterators: looking an entry up by its index
  // costs more than the step to the next.
  auto entry = invoiced.entries_.cbegin();
  for (int i = 0; i < invoiced.Count(); ++i, ++entry) {
    const LineEntry& e = *entry;
    if (plain) {
      LineEntry* m = merged.FindMatchPlain(e.Line.Shared());
      if (!m)
        merged.AddTaken(invoiced, i, e.Line.Quantity());
      else
        AddStepByStep(merged, *m, e);
      continue;
    }
    const TLineStorage::MatchKeys& keys = invoiced.keys_[static_cast<size_t>(i)];
    const int at =
        lastKeys && invoiced.SameKeys(*lastKeys, keys) ? lastAt : merged.FindKeys(invoiced, keys);
    lastKeys = &keys;
    lastAt = at;
    if (at < 0) {
      lastAt = merged.Count();
      merged.AddTaken(invoiced, i, e.Line.Quantity());
      ExactSum& sum = sums.emplace_back();
      sum.exact = ShortDecimal(e.Line.Quantity(), sum.thousandths);
      continue;
    }
    LineEntry* m = &merged.Entry(at);
    ExactSum& sum = sums[static_cast<size_t>(at)];
    int64_t add = 0;
    if (sum.exact && ShortDecimal(e.Line.Quantity(), add) && sum.Add(add)) {
      merged.MutableRef(*m).Number.append(1, ' ').append(e.Ref->Number);
      continue;
    }
    if (sum.exact && sum.changed) merged.SetQuantity(*m, sum.Text());
    sum.exact = false;
    AddStepByStep(merged, *m, e);
  }
  for (size_t i = 0; i < sums.size(); ++i)
    if (sums[i].exact && sums[i].changed)
      merged.SetQuantity(merged.Entry(static_cast<int>(i)), sums[i].Text());
  if (onMergedComplete) onMergedComplete();
  // Reference positions invoiced by less than their quantity: the rest is missing.
  auto reference = source.entries_.begin();
  for (int i = 0; i < source.Count(); ++i, ++reference) {
    LineEntry& s = *reference;
    LineEntry* m = nullptr;
    if (plain) {
      m = merged.FindMatchPlain(s.Line.Shared());
    } else {
      const int at = merged.FindKeys(source, source.keys_[static_cast<size_t>(i)]);
      if (at >= 0) m = &merged.Entry(at);
    }
    if (!m) continue;
    s.Matched = 1;
    // Both quantities short decimals (below 10^12): the rest read from their texts lies
    // within 10^-6 of the exact rest, so it is missing when that is at least 0.011 and not
    // when it is at most 0.009. Under ExactSum's bound the rest, rounded to a double too,
    // stays within 2e-16 of it relatively: formatted, it gives the exact rest's digits.
    int64_t have = 0, taken = 0;
    if (!plain && ShortDecimal(s.Line.Quantity(), have) &&
        ShortDecimal(m->Line.Quantity(), taken)) {
      const int64_t rest = have - taken;
      if (rest < 10) continue;
      if (rest > 10 && rest < ExactSum::kMost &&
          ExactSum::Abs(have) + ExactSum::Abs(taken) <= 1000 * ExactSum::Abs(rest)) {
        missing.AddTaken(source, i, ThousandthsText(rest));
        continue;
      }
    }
    const double d = static_cast<double>(N(s.Line.Quantity()) - N(m->Line.Quantity()));
    if (static_cast<long double>(d) >= kThreshold) missing.AddTaken(source, i, T(d));
  }
  // Reference positions not invoiced at all.
  reference = source.entries_.begin();
  for (int i = 0; i < source.Count(); ++i, ++reference) {
    const LineEntry& s = *reference;
    if (s.Matched == 0) missing.AddTaken(source, i, s.Line.Quantity());
  }
  missing.Sort();
}

}  // namespace dz
