#include "output/Report.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

#include "docdata/BlockPool.h"
#include "docdata/Cp1252.h"
#include "docdata/DataGridLine.h"
#include "hostlink/HostCallCancel.h"
#include "hostlink/HostCommands.h"
#include "hostlink/IPCClient.h"
#include "output/GridSections.h"
#include "platform/SideTask.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dz {

namespace {

// ---- text table ----

// Columns of the table, as the grid has them after its row marks.
enum Col { cImage, cPosition, cDescription, cPartNo, cQuantity, cUnit, cInfo, cCount };
constexpr const char* kTitles[cCount] = {"",      "Position", "Bezeichnung", "Artikelnummer",
                                         "Menge", "Einheit",  "Auftrag"};
// Long descriptions would push the other columns off any terminal; they are cut here (the
// JSON form carries them whole).
constexpr size_t kMaxWidth = 48;

size_t Width(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

// A cell as one terminal line: each run of control characters (the line breaks of a long
// description) becomes one blank; too long a text is cut with an ellipsis.
std::string CellText(const std::string& eightBit) {
  std::string flat;
  for (char c : eightBit) {
    const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    if (!control)
      flat += c;
    else if (flat.empty() || flat.back() != ' ')
      flat += ' ';
  }
  std::string utf8 = Cp1252ToUtf8(flat);
  if (Width(utf8) <= kMaxWidth) return utf8;
  std::string cut;
  size_t n = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) != 0x80 && ++n == kMaxWidth) break;
    cut += utf8[i];
  }
  return cut + "\xE2\x80\xA6";  // …
}

const char* ImageSymbol(const std::string& image) {
  if (image == "2") return "\xE2\x9C\x97";  // ✗ not invoiced
  if (image == "1") return "\xE2\x9C\x93";  // ✓ source, all invoiced
  if (image == "8") return "\xCE\xA3";      // Σ sum
  return "";
}

void Pad(std::string& out, const std::string& text, size_t width, bool right) {
  size_t fill = width > Width(text) ? width - Width(text) : 0;
  if (right) out.append(fill, ' ');
  out += text;
  if (!right) out.append(fill, ' ');
}

std::string Line(const std::array<std::string, cCount>& cells,
                 const std::array<size_t, cCount>& widths) {
  std::string out;
  for (int c = 0; c < cCount; ++c) {
    if (c > 0) out += "  ";
    Pad(out, cells[c], widths[c], c == cQuantity);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out + "\n";
}

// ---- JSON ----

// Pieces of a report are written this large at most (unless one line is longer): large
// writes cost the system less.
constexpr size_t kPieceBytes = 256 * 1024;

// Written pieces of this size, filled again by the rest of the report and by the next
// report of the program: a report is many megabytes, and memory that was used once costs
// less than new memory, which the system hands out page by page.
BlockPool& Spares() {
  static BlockPool* pool = new BlockPool(kPieceBytes, 128);  // 32 MiB; outlives every report
  return *pool;
}

// Pieces of JSON made on one thread and written by another, in their order.
class JsonPieces {
 public:
  void Add(std::unique_ptr<char[]> data, size_t capacity, size_t size) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pieces_.push_back({std::move(data), capacity, size});
    }
    ready_.notify_one();
  }
  // No more pieces.
  void Close() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    ready_.notify_one();
  }
  bool Closed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
  }
  void WaitClosed() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return closed_; });
  }
  // Writes each piece as soon as it is there, until the last.
  void WriteAll(std::ostream& stream) {
    for (;;) {
      std::vector<Piece> ready;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return closed_ || !pieces_.empty(); });
        if (pieces_.empty()) return;
        ready.swap(pieces_);
      }
      for (Piece& piece : ready) {
        stream.write(piece.data.get(), static_cast<std::streamsize>(piece.size));
        if (piece.capacity == kPieceBytes) Spares().Give(std::move(piece.data));
      }
    }
  }

 private:
  struct Piece {
    std::unique_ptr<char[]> data;
    size_t capacity, size;
  };
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<Piece> pieces_;
  bool closed_ = false;
};

// Where the JSON goes: a buffer written through a cursor and handed on in pieces, to a
// stream or to another thread. Room is made before each piece of a known largest size, so
// that nothing is checked byte by byte: the report of a large run is many megabytes.
class JsonSink {
 public:
  explicit JsonSink(std::ostream& stream) : stream_(&stream) {}
  explicit JsonSink(JsonPieces& pieces) : pieces_(&pieces) {}
  ~JsonSink() {
    if (buffer_ && capacity_ == kPieceBytes) Spares().Give(std::move(buffer_));
  }
  JsonSink(const JsonSink&) = delete;
  JsonSink& operator=(const JsonSink&) = delete;

  // A cursor with room for `n` bytes; Commit the end of what was written there.
  char* Room(size_t n) {
    if (capacity_ - used_ < n || !buffer_) Make(n);
    return buffer_.get() + used_;
  }
  void Commit(char* end) { used_ = static_cast<size_t>(end - buffer_.get()); }
  void Put(std::string_view text) {
    char* w = Room(text.size());
    std::memcpy(w, text.data(), text.size());
    Commit(w + text.size());
  }
  void Flush() {
    if (used_ == 0) return;
    if (pieces_) {
      pieces_->Add(std::move(buffer_), capacity_, used_);
      capacity_ = 0;  // the next piece is made when needed
    } else {
      stream_->write(buffer_.get(), static_cast<std::streamsize>(used_));
    }
    used_ = 0;
  }

 private:
  void Make(size_t n) {
    Flush();
    if (buffer_ && capacity_ >= n) return;
    capacity_ = std::max(n, kPieceBytes);
    buffer_ = capacity_ == kPieceBytes ? Spares().Take()
                                       : std::make_unique_for_overwrite<char[]>(capacity_);
  }

  std::ostream* stream_ = nullptr;
  JsonPieces* pieces_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0, used_ = 0;
};

// The most a text of `n` bytes takes written as a JSON string body ("\u00XX" each).
constexpr size_t BodyRoom(size_t n) {
  return 6 * n;
}

// What stands for itself in a JSON string: printable ASCII but the quote and the backslash.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> t{};
  for (int c = 0x20; c < 0x80; ++c) t[c] = c != '"' && c != '\\';
  return t;
}();

// A byte that does not stand for itself, escaped or as UTF-8, at `w`.
[[gnu::noinline]] char* EscapedByte(char* w, unsigned char c) {
  static const char hex[] = "0123456789abcdef";
  const char ch = static_cast<char>(c);
  switch (c) {
    case '"':
    case '\\':
      *w++ = '\\';
      *w++ = ch;
      break;
    case '\n':
      *w++ = '\\';
      *w++ = 'n';
      break;
    case '\r':
      *w++ = '\\';
      *w++ = 'r';
      break;
    case '\t':
      *w++ = '\\';
      *w++ = 't';
      break;
    default:
      if (c < 0x20) {
        std::memcpy(w, "\\u00", 4);
        w[4] = hex[c >> 4];
        w[5] = hex[c & 15];
        w += 6;
      } else {
        const char16_t u = Cp1252ToUnicode(c);  // never a surrogate
        if (u < 0x800) {
          *w++ = static_cast<char>(0xC0 | (u >> 6));
        } else {
          *w++ = static_cast<char>(0xE0 | (u >> 12));
          *w++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        }
        *w++ = static_cast<char>(0x80 | (u & 0x3F));
      }
  }
  return w;
}

// Writes the 8-bit text as the body of a JSON string in UTF-8 at `w`, which has room for
// BodyRoom of its size, and with `readable`, sixteen bytes more: then the text's memory may
// be read on up to there.
inline char* JsonStringBody(char* w, std::string_view eightBit, const char* readable = nullptr) {
  const char* p = eightBit.data();
  const char* const end = p + eightBit.size();
#if defined(__SSE2__)
  // Sixteen bytes at a time while as many are left: stored as they are, then the cursor
  // moves on to the first that needs escaping, if any. A byte below 0x20 or from 0x80 on
  // is below 0x20 as a signed byte.
  const __m128i space = _mm_set1_epi8(0x20), quote = _mm_set1_epi8('"'),
                backslash = _mm_set1_epi8('\\');
  // A bit for each of the sixteen bytes that needs escaping.
  auto special = [&](__m128i v) {
    return static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmplt_epi8(v, space),
                     _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)))));
  };
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
    const unsigned mask = special(v);
    if (mask == 0) {
      p += 16;
      w += 16;
      continue;
    }
    const int plain = __builtin_ctz(mask);
    p += plain;
    w = EscapedByte(w + plain, static_cast<unsigned char>(*p++));
  }
  // Fewer than sixteen left (most fields are short): stored at once when none of them
  // needs escaping and sixteen may be read.
  if (p < end && readable && readable - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned left = static_cast<unsigned>(end - p);
    if ((special(v) & ((1u << left) - 1)) == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
      return w + left;
    }
  }
#endif
  for (; p < end; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (kPlain[c])
      *w++ = static_cast<char>(c);
    else
      w = EscapedByte(w, c);
  }
  return w;
}

char* Put(char* w, std::string_view text) {
  std::memcpy(w, text.data(), text.size());
  return w + text.size();
}

void JsonString(JsonSink& sink, std::string_view eightBit) {
  char* w = sink.Room(BodyRoom(eightBit.size()) + 2);
  *w++ = '"';
  w = JsonStringBody(w, eightBit);
  *w++ = '"';
  sink.Commit(w);
}

// Room for any number JsonNumber writes.
constexpr size_t kNumberRoom = 32;

// The shortest text that reads back as the same double; JSON has no infinities.
char* JsonNumber(char* w, long double value) {
  const double v = static_cast<double>(value);
  if (!std::isfinite(v)) return Put(w, "null");
  // Eighths below 100000 (dates in days, with their half days, most differences): their
  // exact decimals, of at most three places, are the shortest texts that read back as
  // them, and none turns to an exponent.
  if (v > -100000 && v < 100000) {
    const double eighths = v * 8;  // exact: a power of two
    if (eighths == std::floor(eighths)) {
      const bool negative = std::signbit(v);
      const int64_t e = static_cast<int64_t>(eighths);
      const uint64_t a = negative ? static_cast<uint64_t>(-e) : static_cast<uint64_t>(e);
      if (negative) *w++ = '-';
      w = std::to_chars(w, w + kNumberRoom, a / 8).ptr;
      if (unsigned thousandths = static_cast<unsigned>(a % 8) * 125) {
        *w++ = '.';
        for (unsigned unit = 100; thousandths != 0; unit /= 10) {
          *w++ = static_cast<char>('0' + thousandths / unit);
          thousandths %= unit;
        }
      }
      return w;
    }
  }
  return std::to_chars(w, w + kNumberRoom, v).ptr;
}

// JsonNumber for a value that repeats often (the date of a document, on each of its
// lines): the last texts are kept by the value's bits, per thread.
char* RepeatedJsonNumber(char* w, double value) {
  struct Slot {
    uint64_t bits = 0;
    uint8_t size = 0;  // 0: empty
    char text[kNumberRoom];
  };
  constexpr size_t kSlots = 256;
  thread_local std::array<Slot, kSlots> slots;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Slot& slot = slots[(bits ^ bits >> 29 ^ bits >> 47) % kSlots];
  if (slot.size != 0 && slot.bits == bits) return Put(w, std::string_view(slot.text, slot.size));
  char* const end = JsonNumber(w, value);
  slot.bits = bits;
  slot.size = static_cast<uint8_t>(end - w);
  std::memcpy(slot.text, w, slot.size);
  return end;
}

void JsonKey(JsonSink& sink, std::string_view key) {
  char* w = sink.Room(key.size() + 3);
  *w++ = '"';
  w = Put(w, key);
  sink.Commit(Put(w, "\":"));
}

// With `matchedAt`, the matched flag is left '0' and its place told there, to be set once
// the run has decided it.
void JsonLine(JsonSink& sink, const LineEntry& entry, char** matchedAt = nullptr) {
  const DocumentRef& ref = *entry.Ref;
  char* w = sink.Room(BodyRoom(ref.Number.size()) + 160);
  w = Put(w, "{\"document\":\"");
  w = JsonStringBody(w, ref.Number);
  w = Put(w, "\",\"documentId\":");
  w = std::to_chars(w, w + kNumberRoom, ref.ID).ptr;
  w = Put(w, ",\"documentType\":");
  w = std::to_chars(w, w + kNumberRoom, ref.Type).ptr;
  w = Put(w, ",\"documentDate\":");
  w = RepeatedJsonNumber(w, ref.Date);
  w = Put(w, ",\"difference\":");
  w = JsonNumber(w, entry.Difference);
  w = Put(w, ",\"matched\":");
  if (matchedAt) {
    *matchedAt = w;
    *w++ = '0';
  } else {
    *w++ = entry.Matched ? '1' : '0';
  }
  sink.Commit(w);
  // The position's own fields, under the names it publishes, in their order.
  // Read only: the views' lines stay shared, their quantities lie beside them.
  // Each field's ',"name":' (and the opening quote of a text) is made once, in a slot of
  // fixed size that is copied whole: the cursor then moves on by its length only.
  static constexpr size_t kSlot = 32;
  struct Prefix {
    char text[kSlot];
    size_t size;
    PropType type;
  };
  static const std::vector<Prefix> prefixes = [] {
    std::vector<Prefix> p;
    for (const PropInfo& prop : LineProperties()) {
      const std::string text =
          ",\"" + std::string(prop.name) + "\":" + (prop.type == PropType::Text ? "\"" : "");
      assert(text.size() <= kSlot);  // the names are short
      Prefix& slot = p.emplace_back();
      std::memset(slot.text, 0, kSlot);
      std::memcpy(slot.text, text.data(), std::min(text.size(), kSlot));
      slot.size = text.size();
      slot.type = prop.type;
    }
    return p;
  }();
  const LineView line = entry.Line.Shared();
  std::string_view texts[PackedLine::kTexts];
  line.Texts(texts);
  // The line's texts may be read on to the end of the last, but for Stueck, the first,
  // which is the entry's own.
  const std::string_view last = texts[PackedLine::kTexts - 1];
  const char* const readable = line.Packed() ? last.data() + last.size() : nullptr;
  texts[0] = entry.Line.Quantity();
  // Room for the whole rest of the line at once: every field's slot and value (at most a
  // number), every text at its longest (and what a text stored at once may write beyond
  // it), the closing quotes and brace.
  size_t room = prefixes.size() * (kSlot + kNumberRoom) + 16 + 1 + PackedLine::kTexts;
  if (readable) {  // the texts but the first lie back to back
    room += BodyRoom(texts[0].size() + static_cast<size_t>(readable - texts[1].data()));
  } else {
    for (const std::string_view text : texts) room += BodyRoom(text.size());
  }
  w = sink.Room(room);
  size_t t = 0;  // the next text field
  // Read once: writing through `w` could change any memory, as far as the compiler knows.
  const Prefix* const fields = prefixes.data();
  const size_t count = prefixes.size();
  for (size_t i = 0; i < count; ++i) {
    const Prefix& prefix = fields[i];
    std::memcpy(w, prefix.text, kSlot);
    w += prefix.size;
    switch (prefix.type) {
      case PropType::Text: {
        const std::string_view text = texts[t];
        if (!text.empty()) w = JsonStringBody(w, text, t > 0 ? readable : nullptr);
        ++t;
        *w++ = '"';
        break;
      }
      case PropType::Boolean:
        w = Put(w, (static_cast<LineField>(i) == LineField::DM ? line.DM() : line.Isnetto())
                       ? "true"
                       : "false");
        break;
      case PropType::Integer:
        w = std::to_chars(w, w + kNumberRoom, line.Row()).ptr;
        break;
      default:
        w = Put(w, "null");
    }
  }
  *w++ = '}';
  sink.Commit(w);
}

}  // namespace

std::string ReportText(TSuperStack& stack) {
  std::string out;
  if (!stack.CaptionText().empty()) out += Cp1252ToUtf8(stack.CaptionText()) + "\n";
  if (!stack.ErrorText().empty()) {
    out += "Fehler: " + Cp1252ToUtf8(stack.ErrorText()) + "\n";
    return out;
  }
  std::vector<std::array<std::string, cCount>> table;
  std::vector<TGridRowKind> kinds;
  for (const TGridRow& row : BuildGridRows(stack)) {
    table.push_back({ImageSymbol(row.Image), CellText(row.Position), CellText(row.Description1),
                     CellText(row.PartNo), CellText(row.Quantity), CellText(row.Unit),
                     CellText(row.Info)});
    kinds.push_back(row.Kind);
  }
  std::array<std::string, cCount> titles;
  std::array<size_t, cCount> widths{};
  for (int c = 0; c < cCount; ++c) {
    titles[c] = kTitles[c];
    widths[c] = Width(titles[c]);
  }
  for (const auto& cells : table)
    for (int c = 0; c < cCount; ++c) widths[c] = std::max(widths[c], Width(cells[c]));

  out += "\n" + Line(titles, widths);
  for (size_t r = 0; r < table.size(); ++r) {
    // A rule over each section heading, as the grid draws one.
    if (kinds[r] == TGridRowKind::Section) {
      std::string rule;
      for (int c = 0; c < cCount; ++c) rule.append(widths[c] + (c > 0 ? 2 : 0), '-');
      out += rule + "\n";
    }
    out += Line(table[r], widths);
  }
  return out;
}

namespace {

// With `head`, the opening of section `s` of the report (and the comma before it unless it
// is the first section), up to its lines; else its lines [from, to), with `to` at the end
// closed. Reads the stack only; with `matchedAt`, not the lines' matched flags, whose
// places are added there instead.
void JsonSectionPart(JsonSink& out, TSuperStack& stack, int s, bool head, int from, int to,
                     std::vector<char*>* matchedAt) {
  const TGridSection& section = kGridSections[static_cast<size_t>(s)];
  const TLineStorage& storage = SectionStorage(stack, s);
  if (head) {
    if (s > 0) out.Put(",");
    out.Put("{");
    JsonKey(out, "name");
    JsonString(out, section.Info);
    out.Put(",");
    JsonKey(out, "storage");
    JsonString(out, section.StorageName);
    out.Put(",");
    JsonKey(out, "total");
    out.Commit(JsonNumber(out.Room(kNumberRoom), SectionTotal(storage)));
    out.Put(",");
    JsonKey(out, "lines");
    out.Put("[");
    return;
  }
  // The lines of a sorted storage lie all over memory: each is asked for a few ahead.
  constexpr int kAhead = 4;
  for (int i = from; i < to; ++i) {
    if (i + kAhead < to) storage.Entry(i + kAhead).Line.Prefetch();
    if (i > 0) out.Put(",");
    char* at = nullptr;
    JsonLine(out, storage.Entry(i), matchedAt ? &at : nullptr);
    if (matchedAt) matchedAt->push_back(at);
  }
  if (to == storage.Count()) out.Put("]}");
}

// JsonSectionPart into `pieces`, which are closed when it is done or failed.
void RenderPart(JsonPieces& pieces, TSuperStack& stack, int s, bool head, int from, int to,
                std::vector<char*>* matchedAt) {
  struct Close {
    JsonPieces& pieces;
    ~Close() { pieces.Close(); }
  } close{pieces};
  JsonSink sink(pieces);
  JsonSectionPart(sink, stack, s, head, from, to, matchedAt);
  sink.Flush();
}

// The sections in grid order.
constexpr int kMissingSection = 0, kSourceSection = 1, kMergedSection = 2, kInvoicedSection = 3;

// The report's sections cut into parts, rendered by whichever thread is at hand as soon as
// what their section shows is final, and written in their order after the run. The run
// releases the sections one by one: the source's once its positions are stored and sorted
// (their matched flags are left '0' and set when they are written, after the run), the
// invoiced ones once they are complete, the merged ones after them, the missing ones with
// the views. Each thread takes the first released part not taken yet: a helper started
// with the invoiced positions, the thread that stored the source while the invoiced ones
// are still being stored, and the writing thread whenever the part it is to write next
// is not taken yet.
class ReportParts {
 public:
  explicit ReportParts(TSuperStack& stack) : stack_(stack) {}
  ~ReportParts() { Stop(); }  // the helper is joined as its member goes
  ReportParts(const ReportParts&) = delete;
  ReportParts& operator=(const ReportParts&) = delete;

  // What section `s` shows is final: its parts may be rendered.
  void Release(int s) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Section& section = sections_[static_cast<size_t>(s)];
      if (section.released) return;
      // The head (with the section's total, which reads every line) apart from the lines,
      // so that both may be rendered at the same time.
      const int count = SectionStorage(stack_, s).Count();
      section.parts.emplace_back(s, true, 0, 0);
      for (int from = 0; from == 0 || from < count; from += kPartLines)
        section.parts.emplace_back(s, false, from, std::min(count, from + kPartLines));
      section.released = true;
    }
    changed_.notify_all();
  }
  // Renders released parts on this thread until section `s` is released too, or none is
  // left.
  void RenderUntilReleased(int s) {
    for (;;) {
      Part* part;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (sections_[static_cast<size_t>(s)].released) return;
        part = TakeLocked();
      }
      if (!part) return;
      Render(*part);
    }
  }
  // A thread of its own renders released parts until all are taken. Without a thread to
  // be had, this one renders those released now.
  void StartHelper() {
    const std::thread::id starter = std::this_thread::get_id();
    helper_ = std::make_unique<SideTask>(
        [this, starter] { Help(std::this_thread::get_id() != starter); });
  }

  // After the run: releases what is left and writes every part in its order.
  void WriteSections(std::ostream& stream) {
    for (int s = 0; s < static_cast<int>(kSections); ++s) Release(s);
    if (!helper_) StartHelper();
    const TLineStorage& source = stack_.Source();
    for (size_t s = 0; s < kSections; ++s) {
      for (size_t k = 0; k < sections_[s].parts.size(); ++k) {
        // While the part is not rendered, this thread renders the next one not taken.
        Part& part = sections_[s].parts[k];
        while (!part.pieces.Closed()) {
          Part* other = Take();
          if (!other) break;
          Render(*other);
        }
        if (!Taken(s, k)) return;  // stopped
        if (static_cast<int>(s) == kSourceSection) {
          part.pieces.WaitClosed();
          for (size_t i = 0; i < part.matchedAt.size(); ++i)
            if (source.Entry(part.from + static_cast<int>(i)).Matched) *part.matchedAt[i] = '1';
        }
        part.pieces.WriteAll(stream);
      }
    }
    helper_->Wait();
  }

  // Nothing more is taken; the helper ends with the part it renders.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
  }

 private:
  static constexpr size_t kSections = kGridSections.size();
  static constexpr int kPartLines = 1000;
  struct Part {
    Part(int s, bool h, int f, int t) : section(s), head(h), from(f), to(t) {}
    int section;
    bool head;
    int from, to;
    JsonPieces pieces;
    std::vector<char*> matchedAt;  // of a source part's lines
  };
  struct Section {
    bool released = false;
    std::deque<Part> parts;  // they stay in place
    size_t next = 0;         // the first not taken
  };

  // The first released part not taken yet, now taken; nullptr when there is none.
  Part* TakeLocked() {
    if (stopped_) return nullptr;
    for (Section& section : sections_)
      if (section.released && section.next < section.parts.size())
        return &section.parts[section.next++];
    return nullptr;
  }
  Part* Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return TakeLocked();
  }
  bool Taken(size_t s, size_t k) {
    std::lock_guard<std::mutex> lock(mutex_);
    return sections_[s].next > k;
  }
  // With `wait`, for the sections still to be released.
  void Help(bool wait) {
    for (;;) {
      Part* part = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this, &part, wait] {
          part = TakeLocked();
          return part || stopped_ || !wait ||
                 std::all_of(sections_.begin(), sections_.end(),
                             [](const Section& section) { return section.released; });
        });
      }
      if (!part) return;
      Render(*part);
    }
  }
  void Render(Part& part) {
    RenderPart(part.pieces, stack_, part.section, part.head, part.from, part.to,
               part.section == kSourceSection ? &part.matchedAt : nullptr);
  }

  TSuperStack& stack_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<Section, kSections> sections_;
  bool stopped_ = false;
  std::unique_ptr<SideTask> helper_;  // last: it reads the others
};

void WriteReportJson(TSuperStack& stack, const std::string& systemUid, std::ostream& stream,
                     ReportParts* parts) {
  // Written in pieces: the report of a large run is many megabytes, never needed whole.
  JsonSink out(stream);
  out.Put("{");
  JsonKey(out, "caption");
  JsonString(out, stack.CaptionText());
  out.Put(",");
  JsonKey(out, "error");
  JsonString(out, stack.ErrorText());
  out.Put(",");
  JsonKey(out, "systemUid");
  JsonString(out, systemUid);
  out.Put(",");
  JsonKey(out, "sections");
  out.Put("[");
  if (stack.ErrorText().empty()) {
    out.Flush();
    if (parts) {
      parts->WriteSections(stream);
    } else {
      ReportParts own(stack);
      own.WriteSections(stream);
    }
  }
  out.Put("]}\n");
  out.Flush();
}

}  // namespace

void WriteReportJson(TSuperStack& stack, const std::string& systemUid, std::ostream& stream) {
  WriteReportJson(stack, systemUid, stream, nullptr);
}

std::string ReportJson(TSuperStack& stack, const std::string& systemUid) {
  std::ostringstream out;
  WriteReportJson(stack, systemUid, out);
  return std::move(out).str();
}

std::string ReportHelpText() {
  return R"(Usage: dirivararez
       dirivararez --report [--format text|json] [--timeout SECONDS] [--reply-timeout MS]
       dirivararez --help

Without arguments the window opens and loads at once.

With --report, without a window: finds the host server that started this program (or the default one
of the server list), performs one reconciliation run as the window does and prints its
result to standard output, in UTF-8.

  --report         perform the run and print the report
  --format text    a table of the four sections Fehlend, Quelle, Komprimiert and Alle,
                   in the grid's order, headed by the window caption (the default)
  --format json    {"caption", "error", "systemUid", "sections": [Fehlend, Quelle,
                   Komprimiert, Alle]}, each section with "name", "storage", "total" and
                   "lines"; "sections" is empty when the run failed
  --timeout SECONDS
                   give the whole run at most this long (default 300); a run cut short
                   fails with a message saying so
  --reply-timeout MS
                   give up on a host call when the host stays silent this long (default
                   60000 per attempt)
  --help           show this text

Exit status: 0 when the run did not fail (also when it ended early for want of exactly
one linked offer or order confirmation), 1 when it failed (the message also goes to
standard error), 2 on bad usage.
)";
}

namespace {

// A whole number from `min` to `max`, nothing else.
bool ParseCount(const std::string& text, long min, long max, long& value) {
  long v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < min || v > max) return false;
  value = v;
  return true;
}

// Cancels the current thread's host calls when `seconds` have passed, unless stopped first.
// Stop ends the wait at once; the thread is joined when the object goes, which may be later:
// waking it up may take a while on a busy machine, and nobody needs to wait for that.
class RunDeadline {
 public:
  RunDeadline(std::shared_ptr<THostCallCancel> cancel, long seconds)
      : thread_([this, cancel = std::move(cancel), seconds] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!stopped_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; }))
            cancel->Cancel(
                "Zeit\xFC"
                "berschreitung: Marvella hat den Lauf nicht innerhalb von " +
                std::to_string(seconds) + " s beantwortet");
        }) {}
  ~RunDeadline() {
    Stop();
    thread_.join();
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    stopped_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool done_ = false;
  std::thread thread_;  // last: it starts in the constructor
};

}  // namespace

int ReportMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool report = false, json = false, formatGiven = false;
  long timeoutSeconds = kDefaultRunTimeoutSeconds, replyTimeoutMs = 0;
  auto usage = [&err](const std::string& why) {
    err << "dirivararez: " << why << "\n(dirivararez --help shows the usage)\n";
    return 2;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out << ReportHelpText();
      return 0;
    }
    if (a == "--report") {
      report = true;
    } else if (a == "--format" || a.rfind("--format=", 0) == 0) {
      std::string value;
      if (a == "--format") {
        if (i + 1 >= args.size()) return usage("--format needs text or json");
        value = args[++i];
      } else {
        value = a.substr(9);
      }
      if (value != "text" && value != "json")
        return usage("unknown format " + value + " (text or json)");
      json = value == "json";
      formatGiven = true;
    } else if (a == "--timeout") {
      if (i + 1 >= args.size() || !ParseCount(args[++i], 1, 86400, timeoutSeconds))
        return usage("--timeout needs seconds (1 to 86400)");
    } else if (a == "--reply-timeout") {
      if (i + 1 >= args.size() || !ParseCount(args[++i], 1, 3600000, replyTimeoutMs))
        return usage("--reply-timeout needs milliseconds (1 to 3600000)");
    } else {
      return usage("unknown argument " + a);
    }
  }
  if (!report) return usage(formatGiven ? "--format needs --report" : "nothing to do");

  if (replyTimeoutMs > 0) SetDefaultReplyTimeout(static_cast<int>(replyTimeoutMs));
  TSuperStack stack;
  ReportParts parts(stack);  // after the stack: it reads the stack until it goes
  if (json) {
    // The sections are rendered while the run goes on, each once it is final; the thread
    // that stored the source helps while the invoiced positions are still being stored.
    stack.SetOnSourceStored([&parts] {
      parts.Release(kSourceSection);
      parts.RenderUntilReleased(kInvoicedSection);
    });
    stack.SetOnInvoicedComplete([&parts] {
      parts.Release(kInvoicedSection);
      parts.StartHelper();
    });
    stack.SetOnMergedComplete([&parts] { parts.Release(kMergedSection); });
    stack.SetOnViewsComplete([&parts] { parts.Release(kMissingSection); });
  }
  // Each host call may wait a minute per attempt; a script waits for the whole run at most
  // this long. The deadline's thread is joined after the report is written.
  auto cancel = std::make_shared<THostCallCancel>();
  RunDeadline deadline(cancel, timeoutSeconds);
  {
    THostCallScope scope(cancel);
    try {
      DetectHostServer();
    } catch (const std::exception&) {
      // A server list that cannot be read leaves the default server in use; the run then
      // reports whatever that means.
    }
    stack.Run(false);
  }
  deadline.Stop();
  if (json)
    WriteReportJson(stack, SystemUID(), out, &parts);
  else
    out << ReportText(stack);
  out.flush();
  if (!stack.ErrorText().empty()) {
    err << "dirivararez: " << Cp1252ToUtf8(stack.ErrorText()) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace dz
