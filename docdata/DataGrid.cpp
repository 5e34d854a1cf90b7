#include "docdata/DataGrid.h"

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "docdata/BlobInflate.h"
#include "docdata/Cp1252.h"
#include "docdata/DataGridLine.h"
#include "docdata/NumberFormat.h"

namespace dz {

namespace {

constexpr std::string_view kBlockStart = "@@DATADEF START@@";
constexpr std::string_view kBlockEnd = "@@DATADEF END@@";
constexpr std::string_view kLongTextEntry = "SecondField";

struct DefaultColumn {
  const char* fieldName;
  const char* title;  // nullptr: no caption
  int width;
  int format = cfString;
  int alignment = taLeftJustify;
  int numericKind = deInteger;
  int digits = 2;
  int precision = 2;
  const char* editMask = "";
  const char* displayMask = "";
  bool limitToList = false;
  bool buttonExists = false;
  bool intern = false;
  bool readOnly = false;
};

const DefaultColumn kDefaultColumns[] = {
    {"TColumn-1", nullptr, 10, cfString, taLeftJustify, deInteger, 2, 2, "", "", true, true, true},
    {"Pos.", "Pos.", 29},
    {"Stueck",
     "St\xFC"
     "ck",
     71, cfNumber, taRightJustify, deCurrency, 5, 10, "0.###", "0.###"},
    {"Einheit", "Einheit", 68, cfcombo, taRightJustify, deInteger, 2, 2, "", "", false, true},
    {"Bezeichnung1", "Bezeichnung1", 77, cfdblocate, taLeftJustify, deInteger, 2, 2, "", "", false,
     true},
    {"Bezeichnung2", "Bezeichnung2", 74, cfdblocate, taLeftJustify, deInteger, 2, 2, "", "", false,
     true},
    {"BestellNummer", "BestellNummer", 71, cfdblocate, taLeftJustify, deInteger, 2, 2, "", "",
     false, true},
    {"Seriennummer", "Seriennummer", 66, cfString, taLeftJustify, deInteger, 2, 2, "", "", true},
    {"Artikelnummer", "Artikelnummer", 57, cfdblocate, taLeftJustify, deInteger, 2, 2, "", "",
     false, true},
    {"Einzelbetrag", "Preis", 61, cfNumber, taLeftJustify, deCurrency, 2, 20, "#######.00",
     "#######.00 'DM'"},
    {"Steuer", "Steuer", 37, cfcombo, taLeftJustify, deFloat, 2, 2, "##.00", "##.00 '%'", false,
     true},
    {"SummeBetrag", "Summe", 20, cfNumber, taRightJustify, deCurrency, 2, 20, "#######.00",
     "#######.00 'DM'", false, false, false, true},
    {"intern", nullptr, -1, cfString, taRightJustify, deInteger, 2, 2, "", "", false, true, true},
    {"ID_Artikel", nullptr, -1, cfString, taRightJustify, deInteger, 2, 2, "", "", false, true,
     true},
    {"benutzer", "beliebig", -1, cfString, taLeftJustify, deInteger, 20, 20},
    {"Rabatt", "Rabatt", 59, cfcombo, taLeftJustify, deFloat, 2, 2, "", "##.0 '%'", true, true},
};

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n' || c == '\0';
}

// The first CR or LF (and with `zero` also NUL) in s[from, n), or n. Eight bytes at a time:
// a byte equal to the one looked for turns to zero under XOR, and (x - 0x01..) & ~x has
// the high bit of some byte set exactly when x has a zero byte.
size_t FindBreak(const char* s, size_t from, size_t n, bool zero) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  size_t i = from;
#if defined(__SSE2__)
  // Sixteen bytes at a time where the processor compares them at once.
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
  const __m128i nul = zero ? _mm_setzero_si128() : cr;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                                     _mm_cmpeq_epi8(v, nul));
    if (const int mask = _mm_movemask_epi8(hit))
      return i + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  for (; i + 8 <= n; i += 8) {
    uint64_t v;
    std::memcpy(&v, s + i, 8);
    const uint64_t cr = v ^ (kOnes * '\r'), lf = v ^ (kOnes * '\n');
    uint64_t hit = ((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf);
    if (zero) hit |= (v - kOnes) & ~v;
    if (hit & kHighs) break;
  }
  while (i < n && s[i] != '\r' && s[i] != '\n' && !(zero && s[i] == '\0')) ++i;
  return i;
}

// The first '"' in s[from, n), or n; `percent` is set when a '%' comes before it.
size_t FindQuote(const char* s, size_t from, size_t n, bool& percent) {
  size_t i = from;
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"'), pct = _mm_set1_epi8('%');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const unsigned q = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, quote)));
    const unsigned p = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pct)));
    if (q != 0) {
      const unsigned at = static_cast<unsigned>(__builtin_ctz(q));
      if (p & ((1u << at) - 1)) percent = true;
      return i + at;
    }
    if (p != 0) percent = true;
  }
#endif
  for (; i < n && s[i] != '"'; ++i)
    if (s[i] == '%') percent = true;
  return i;
}

// Reading position within one line of the rows text.
struct FieldCursor {
  std::string_view line;
  size_t pos = 0;
  bool percent = false;  // the last field, if read in place, may hold an escape

  // The reading position has reached the line's last character.
  bool UsedUp() const { return pos + 1 >= line.size(); }

  // The next field, escapes unresolved. The view points into the line or into `buffer`.
  std::string_view Next(std::string& buffer) {
    const size_t n = line.size();
    while (pos < n && line[pos] != '"' && line[pos] != ',') ++pos;
    if (pos >= n) return {};
    if (line[pos] == ',') {
      ++pos;
      return {};
    }
    ++pos;  // opening quote
    bool doubled = false;
    size_t keep = 0;
    percent = false;
    while (true) {
      const size_t q = FindQuote(line.data(), pos, n, percent);
      if (q == n) {
        // No closing quote: only what came before the last doubled quote counts.
        pos = n;
        if (!doubled) return {};
        buffer.resize(keep);
        return buffer;
      }
      if (q + 1 < n && line[q + 1] == '"') {
        if (!doubled) buffer.clear();
        doubled = true;
        buffer.append(line.data() + pos, q - pos);
        keep = buffer.size();
        buffer.push_back('"');
        pos = q + 2;
        continue;
      }
      std::string_view text;
      if (doubled) {
        buffer.append(line.data() + pos, q - pos);
        text = buffer;
      } else {
        text = line.substr(pos, q - pos);
      }
      pos = q + 2;  // the closing quote and the character after it
      return text;
    }
  }
};

void ReplaceDecimalSeparators(std::string& s, char sep) {
  bool changed = false;
  for (char& c : s)
    if (c == ',' && c != sep) {
      c = sep;
      changed = true;
    }
  if (!changed) return;
  for (char& c : s)
    if (c == '.') c = sep;
}

// "%%", "%0", "%c" and "%n" as UnescapeFieldText (CSVReader.h) resolves them, but into a
// buffer the caller reuses: the rows text has millions of fields.
void UnescapeField(std::string_view field, std::string& out) {
  out.clear();
  const size_t n = field.size();
  for (size_t i = 0; i < n;) {
    const void* pct = std::memchr(field.data() + i, '%', n - i);
    const size_t p = pct ? static_cast<size_t>(static_cast<const char*>(pct) - field.data()) : n;
    out.append(field.data() + i, p - i);
    if (p + 1 >= n) break;  // the end, or a lone "%" at the end
    const char e = field[p + 1];
    switch (e) {
      case '%':
        out.push_back('%');
        break;
      case '0':
        out.push_back('\0');
        break;
      case 'c':
        out.push_back('\r');
        break;
      case 'n':
        out.push_back('\n');
        break;
      default:
        out.push_back('%');
        out.push_back(e);
    }
    i = p + 2;
  }
}

}  // namespace

void NormalizeLongTextInto(std::string& out, std::string_view text) {
  out.clear();
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const size_t b = FindBreak(text.data(), i, n, false);
    out.append(text.data() + i, b - i);
    if (b == n) break;
    out += "\r\n";
    i = b + (text[b] == '\r' && b + 1 < n && text[b + 1] == '\n' ? 2 : 1);
  }
  if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);
}

std::string NormalizeLongText(std::string_view text) {
  std::string out;
  NormalizeLongTextInto(out, text);
  return out;
}

// Turns the rows text into table rows, one line at a time.
class DatasReader {
 public:
  struct TooManyRows {};

  // With `visit`, each data row goes to it instead of into the table.
  explicit DatasReader(TDataGrid& grid, const TDataGrid::RowVisitor* visit = nullptr)
      : grid_(grid),
        visit_(visit),
        cols_(grid.ColCount()),
        cells_(cols_),
        views_(cols_),
        numeric_(cols_) {
    for (int c = 0; c < cols_; ++c) {
      int kind = grid.Columns()[c].NumericKind;
      numeric_[c] = kind == deFloat || kind == deCurrency;
    }
    sep_ = Fmt().DecimalSeparator;
  }

  // Splits a piece into lines; a line that runs on past the piece is kept until the next.
  void Feed(std::string_view piece) {
    size_t i = 0;
    const size_t n = piece.size();
    if (!carry_.empty()) {
      i = FindBreak(piece.data(), 0, n, true);
      carry_.append(piece.data(), i);
      if (i == n) return;
      Line(carry_);
      carry_.clear();
    }
    while (true) {
      while (i < n && IsLineBreak(piece[i])) ++i;
      if (i == n) return;
      size_t start = i;
      i = FindBreak(piece.data(), i, n, true);
      if (i == n) {
        carry_.assign(piece.data() + start, n - start);
        return;
      }
      Line(piece.substr(start, i - start));
    }
  }

  void Finish() {
    if (!carry_.empty()) Line(carry_);
    carry_.clear();
    if (!visit_) grid_.SetRowCount(1 + dataLines_);
  }

 private:
  enum class State { Header, InBlock, Data };

  void Line(std::string_view line) {
    FieldCursor f{line};
    if (state_ != State::Data) {
      std::string_view raw = f.Next(buffer_);
      UnescapeField(raw, text_);
      if (state_ == State::InBlock) {
        if (text_ == kBlockEnd) {
          state_ = State::Header;
        } else {
          entries_.push_back(text_);
        }
      } else if (text_ == kBlockStart) {
        state_ = State::InBlock;
      } else if (text_ != kBlockEnd) {
        StartData();  // this line ends the header and is dropped
      }
      return;
    }
    DataLine(f);
  }

  void StartData() {
    state_ = State::Data;
    for (const auto& e : entries_)
      entryColumn_.push_back(e == kLongTextEntry ? -1 : grid_.FindColumn(e));
  }

  void DataLine(FieldCursor& f) {
    touched_.clear();
    for (int k = 0; !f.UsedUp() && k < cols_; ++k) {
      std::string_view raw = f.Next(buffer_);
      int col = k < static_cast<int>(entryColumn_.size()) ? entryColumn_[k] : -1;
      if (col < 0) continue;
      touched_.push_back(col);
      if (visit_ && Verbatim(raw, f.percent, col)) {
        views_[col] = raw;  // the row's own text, as long as the visitor runs
        continue;
      }
      std::string& cell = cells_[col];
      UnescapeField(raw, cell);
      if (numeric_[col]) ReplaceDecimalSeparators(cell, sep_);
      views_[col] = cell;
    }
    if (dataLines_ >= TDataGrid::kMaxDataRows) throw TooManyRows();
    ++dataLines_;
    if (visit_) {
      TDataGridRowView view;
      view.cells_ = &views_;
      if (!f.UsedUp()) {
        UnescapeField(f.Next(buffer_), text_);
        NormalizeLongTextInto(longText_, text_);
        view.longText_ = longText_;
      }
      (*visit_)(view);
      for (int c : touched_) views_[c] = {};
      return;
    }
    TDataGrid::Row& row = grid_.MutableRow(dataLines_);
    // Cleared, not replaced: a table that reads rows again keeps its buffers.
    row.cells.clear();
    row.longText.clear();
    row.l2.clear();
    if (!f.UsedUp()) {
      UnescapeField(f.Next(buffer_), text_);
      row.longText = NormalizeLongText(text_);
    }
    if (touched_.empty()) return;
    size_t count = 0;
    for (int c : touched_) count = std::max<size_t>(count, c + 1);
    TDataGrid::SetRowCells(row, cells_, count);
    for (int c : touched_) cells_[c].clear();
  }

  // A field that reads as it stands: no escapes (`percent`: the reader saw a '%' in it),
  // no separator to replace, and not put together in buffer_ (which the next field may
  // reuse).
  bool Verbatim(std::string_view raw, bool percent, int col) const {
    if (raw.empty()) return true;
    if (raw.data() >= buffer_.data() && raw.data() < buffer_.data() + buffer_.size() + 1)
      return false;
    if (percent) return false;
    return !(numeric_[col] && sep_ != ',' && std::memchr(raw.data(), ',', raw.size()));
  }

  TDataGrid& grid_;
  const TDataGrid::RowVisitor* visit_;
  std::string longText_;
  int cols_;
  std::vector<std::string> cells_;       // this line's cells by column, where unescaped
  std::vector<std::string_view> views_;  // what a visitor reads of them
  std::vector<char> numeric_;            // columns holding deFloat or deCurrency numbers
  std::vector<int> touched_;
  char sep_;
  State state_ = State::Header;
  std::vector<std::string> entries_;
  std::vector<int> entryColumn_;
  std::string carry_, buffer_, text_;
  int dataLines_ = 0;
};

TDataGrid::TDataGrid() {
  SetDefaultLayout();
}

void TDataGrid::SetDefaultLayout() {
  columns_.Clear();
  for (const auto& d : kDefaultColumns) {
    TColumn& c = columns_.Add();
    c.FieldName = d.fieldName;
    if (d.title) c.Title.Caption = d.title;
    c.Width = d.width;
    c.Format = d.format;
    c.Alignment = d.alignment;
    c.NumericKind = d.numericKind;
    c.NumericDigits = d.digits;
    c.NumericPrecision = d.precision;
    c.EditMask = d.editMask;
    c.DisplayMask = d.displayMask;
    c.LimitToList = d.limitToList;
    c.ButtonExists = d.buttonExists;
    c.Intern = d.intern;
    c.ReadOnly = d.readOnly;
    c.Font = TColumnFont();
    c.Title.Font = TColumnFont();
  }
  for (int i = 0; i < ColCount(); ++i) columns_[i].InternalCol = i;
  rows_.clear();
  rows_.resize(2);
  FullColumnsStreaming = false;
  LongTextEnabled = true;
}

void TDataGrid::SetRowCount(int count) {
  rows_.resize(count < 0 ? 0 : count);
}

void TDataGrid::LoadColumns(std::string_view inflated) {
  TDataGridColumns read;
  TColumnsWrapper wrapper(read);
  ReadComponent(inflated, wrapper);
  if (FullColumnsStreaming) {
    columns_.Clear();
    for (size_t i = 0; i < read.Count(); ++i) columns_.Add().Assign(read[i]);
  } else {
    MergeColumns(read);
  }
  for (int i = 0; i < ColCount(); ++i) columns_[i].InternalCol = i;
}

void TDataGrid::MergeColumns(TDataGridColumns& read) {
  const size_t count = columns_.Count();
  for (size_t j = 1; j < count; ++j) columns_[j].Width = -1;
  for (size_t i = 0; i < read.Count(); ++i) {
    const TColumn& rc = read[i];
    size_t j = 0;
    while (j < count && columns_[j].FieldName != rc.FieldName) ++j;
    if (j == count) continue;
    TColumn& c = columns_[j];
    if (!c.Intern) {
      c.Alignment = rc.Alignment;
      c.Title.Alignment = rc.Title.Alignment;
      c.Title.Caption = rc.Title.Caption;
      c.Title.Font.Style = rc.Title.Font.Style;
      c.Font.Style = rc.Font.Style;
      c.PickList = rc.PickList;
      c.Width = rc.Width;
      if (c.FieldName == "Stueck" && c.NumericDigits != 5) c.NumericDigits = 5;
    }
    if (j != i && i < count) columns_.Exchange(i, j);
  }
}

bool TDataGrid::ReadRows(std::string_view inflated, const RowVisitor* visit, size_t pieceSize) {
  if (pieceSize == 0) pieceSize = kReadPieceSize;
  try {
    DatasReader reader(*this, visit);
    for (size_t at = 0; at < inflated.size(); at += pieceSize)
      reader.Feed(inflated.substr(at, pieceSize));
    reader.Finish();
    return true;
  } catch (const DatasReader::TooManyRows&) {
    return false;
  }
}

bool TDataGrid::LoadRows(std::string_view inflated, size_t pieceSize) {
  return ReadRows(inflated, nullptr, pieceSize);
}

bool TDataGrid::VisitRows(std::string_view inflated, const RowVisitor& visit, size_t pieceSize) {
  return ReadRows(inflated, &visit, pieceSize);
}

std::string_view TDataGridRowView::Cell(int col) const {
  if (col == -2) return longText_;
  if (col < 0 || static_cast<size_t>(col) >= cells_->size()) return {};
  return (*cells_)[static_cast<size_t>(col)];
}

const TDataGrid::Row* TDataGrid::RowAt(int row) const {
  if (row < 0 || row >= RowCount()) return nullptr;
  return &rows_[row];
}

TDataGrid::Row& TDataGrid::MutableRow(int row) {
  if (row >= RowCount()) rows_.resize(row + 1);
  return rows_[row];
}

std::string_view TDataGrid::Cell(int col, int row) const {
  const Row* r = RowAt(row);
  if (!r) return {};
  if (col == -2) return r->longText;
  const std::string& s = r->cells;
  uint32_t count = 0;
  if (col < 0 || s.size() < 4) return {};
  std::memcpy(&count, s.data(), 4);
  if (static_cast<uint32_t>(col) >= count) return {};
  uint32_t begin = 0, end = 0;
  if (col > 0) std::memcpy(&begin, s.data() + 4 * col, 4);
  std::memcpy(&end, s.data() + 4 * (col + 1), 4);
  return std::string_view(s).substr(4 + 4 * size_t{count} + begin, end - begin);
}

void TDataGrid::SetCell(int col, int row, std::string_view text) {
  if (row < 0) return;
  if (col == -2) {
    SetLongText(row, text);
    return;
  }
  if (col < 0) return;
  Row& r = MutableRow(row);
  uint32_t count = 0;
  if (r.cells.size() >= 4) std::memcpy(&count, r.cells.data(), 4);
  std::vector<std::string> cells(std::max<size_t>(count, col + 1));
  for (size_t c = 0; c < count; ++c) cells[c] = Cell(static_cast<int>(c), row);
  cells[col] = text;
  SetRowCells(r, cells, cells.size());
}

void TDataGrid::SetRowCells(Row& row, const std::vector<std::string>& cells, size_t count) {
  size_t total = 4 + 4 * count;
  for (size_t c = 0; c < count; ++c) total += cells[c].size();
  std::string& s = row.cells;
  s.resize(total);
  uint32_t n = static_cast<uint32_t>(count), end = 0;
  std::memcpy(s.data(), &n, 4);
  char* text = s.data() + 4 + 4 * count;
  for (size_t c = 0; c < count; ++c) {
    std::memcpy(text + end, cells[c].data(), cells[c].size());
    end += static_cast<uint32_t>(cells[c].size());
    std::memcpy(s.data() + 4 + 4 * c, &end, 4);
  }
}

std::string_view TDataGrid::LongText(int row) const {
  return Cell(-2, row);
}

void TDataGrid::SetLongText(int row, std::string_view text) {
  if (row < 0) return;
  MutableRow(row).longText = NormalizeLongText(text);
}

std::string_view TDataGrid::SecondLevelData(int row) const {
  const Row* r = RowAt(row);
  return r ? std::string_view(r->l2) : std::string_view();
}

int TDataGrid::FindColumn(std::string_view fieldName) const {
  for (int i = 0; i < ColCount(); ++i)
    if (SameText(columns_[i].FieldName, fieldName)) return i;
  return -1;
}

std::string TDataGrid::RowKind(int row) const {
  return RowKindOf(Cell(0, row));
}

bool TDataGrid::IsMarkerRow(int row) const {
  return row >= 0 && IsMarkerKind(RowKind(row));
}

StoredTable LoadStoredTable(std::string_view columnsFormat, std::string_view datas) {
  StoredTable result;
  InflateResult cols = InflateBlob(columnsFormat);
  InflateResult rows = InflateBlob(datas);
  if (cols.damaged || rows.damaged) {
    result.status = StoredTableStatus::Damaged;
    result.damagedColumn = cols.damaged ? "ColumnsFormat" : "Datas";
    return result;
  }
  if (cols.bytes.Empty() || rows.bytes.Empty()) return result;
  auto table = std::make_unique<TDataGrid>();
  table->LoadColumns(cols.bytes.View());
  result.rowsComplete = table->LoadRows(rows.bytes.View());
  result.table = std::move(table);
  result.status = StoredTableStatus::Loaded;
  return result;
}

}  // namespace dz
