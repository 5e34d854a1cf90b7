#pragma once
// TPutMVParser: the request that hands position lines to the host's open document
// ("TCSVRequest"). Its content comes from a callback, which receives the caller's value
// and the parser and adds the parts; TMVCallBack is that value for sending grid rows.
//
// Ownership: the parser keeps the callback and the value (not owned) for one Put.
// Failures as in TCustomTextParser.

#include <span>

#include "docdata/DataGridLine.h"
#include "output/CustomTextParser.h"

namespace dz {

class TPutMVParser;
using TPartsCallback = void (*)(void* user, TPutMVParser& parser);

class TPutMVParser : public TCustomTextParser {
 public:
  // Stores the callback and its value and runs the request "TCSVRequest". True when the
  // host answered the delivery.
  bool Put(TPartsCallback callback, void* user);

  // Sets the description and the order's import settings (net prices, no tax import, no
  // update of existing parts, appending), then lets the callback add the parts.
  void Fill(const std::string& description) override;

 private:
  TPartsCallback callback_ = nullptr;
  void* user_ = nullptr;
};

// What the window hands to the parts callback: the lines of the rows to send, which the
// window resolves from its grid. Not owned; they must outlive the send.
struct TMVCallBack {
  // One entry per selected row, in the order the rows were selected (not row order);
  // null for a row that shows no line.
  std::span<const TDataGridLine* const> Selection;
  // The line of the current row (null when it shows none); sent when nothing is selected.
  const TDataGridLine* CurrentRow = nullptr;
};

// The parts callback for a TMVCallBack: the selected rows' lines in selection order, or
// the current row's line when nothing is selected. Rows without a line add nothing.
void AddGridParts(void* user, TPutMVParser& parser);

}  // namespace dz
