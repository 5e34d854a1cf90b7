#pragma once
// Writes position lines as a stored document: the two zlib-compressed binary columns
// "ColumnsFormat" (a column-set component stream) and "Datas" (a definition block naming
// the fields, a title line, then one quoted line per position with "%" escapes).
//
// Used by the host stand-in for its documents and by tests and benchmarks; the reader of
// what it writes is LoadStoredTable (DataGrid.h). Nothing here fails except on memory.

#include <string>
#include <string_view>
#include <vector>

#include "docdata/DataGridLines.h"

namespace dz {

struct StoredDocument {
  std::string columnsFormat;  // compressed
  std::string datas;          // compressed
};

class TPositionTableWriter {
 public:
  TPositionTableWriter();

  // The stored columns in their order. Names of the default set take its properties;
  // other names make plain columns. Starts as the default set's order. The reader takes
  // the long text only after as many fields as its table has columns (16 when merging),
  // so an order of fewer names loses the long texts.
  std::vector<std::string> FieldOrder;
  // zlib level of both columns.
  int CompressionLevel = 6;

  // Uncompressed forms.
  std::string ColumnsStream() const;
  std::string DatasText(const std::vector<TDataGridLine>& lines) const;
  std::string DatasText(const TCustomDataGridLines& lines) const;

  StoredDocument Write(const std::vector<TDataGridLine>& lines) const;
  StoredDocument Write(const TCustomDataGridLines& lines) const;

 private:
  template <class Lines>
  std::string Datas(const Lines& lines, size_t count) const;
};

// One field as the rows text stores it: "%" escapes for "%", NUL, CR and LF, the text in
// double quotes with inner quotes doubled.
void AppendQuotedField(std::string& out, std::string_view text);
// A complete zlib stream of `raw`.
std::string DeflateBlob(std::string_view raw, int level = 6);

}  // namespace dz
