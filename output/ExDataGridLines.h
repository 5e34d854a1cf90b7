#pragma once
// The line collection of a copy, with its three clipboard renderings.
//
// Plain text: one "name=value" block per line, ended by a row of hyphens. HTML: a table
// with a header row and, per line, its row, its parts list and its long text, wrapped in
// the clipboard envelope (HtmlClipboard.h). CSV: a header record and one record per line
// plus its parts list. Amounts (quantity, prices, discount, totals) are read with the
// process-wide number format and written with it; a value of 0 is an empty cell.
//
// Like its base, the collection owns its lines. The renderings never raise except for
// allocation failure.

#include <string>
#include <string_view>

#include "docdata/DataGridLines.h"

namespace dz {

class TExDataGridLines : public TDataGridLines {
 public:
  std::string_view ClassName() const override { return "TExDataGridLines"; }

  std::string GetAsText() const override;
  // The table of HTMLTable() inside the clipboard envelope.
  std::string GetAsHTML() const override;
  std::string GetAsCSV() const override;

  // The HTML table alone (8-bit text, escaped), as it goes into the envelope.
  std::string HTMLTable() const;

  // Names of the three description lines of the plain text; this program leaves them
  // empty, so those lines begin with "=".
  std::string TextKey1, TextKey2, TextKey3;
  // Field separator of the CSV rendering: the user's list separator. This platform has
  // no regional setting for it, so it is the comma.
  char ListSeparator = ',';
};

}  // namespace dz
