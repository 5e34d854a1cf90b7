#pragma once
// The send entry of the grid: hands the lines of the selected rows (or of the current
// row) to the host, which adds them to its open document.
//
// First the host is asked whether a document is open for editing ("CANPOSTJSON"; only
// the answer "1" allows it). Then the lines go as one import document with "OUTDATA".
// The result tells the window what to show: the refusal text, the text for a delivery
// that no attempt got answered, or nothing.
//
// Runs on the user-interface thread and blocks for the host calls (at worst three
// 5-second connection attempts for each of the two requests). Failures while building
// the document raise dz::Exception (the window shows it as an error); host failures are
// results.

#include <span>

#include "docdata/DataGridLine.h"

namespace dz {

enum class SendResult {
  Refused,      // the host allows no import now: nothing was sent (kSendRefused)
  Undelivered,  // the import was sent, but no attempt was answered (kSendUndelivered)
  Delivered,    // the host took the import
};

// Message box texts (Windows-1252, with the message box's bold marks).
extern const char* const kSendRefused;
extern const char* const kSendUndelivered;

// `selection`: the line of each selected row in the order the rows were selected, null
// for a row without one; `currentRow`: the line of the current row, sent when the
// selection is empty (may be null).
SendResult SendSelection(std::span<const TDataGridLine* const> selection,
                         const TDataGridLine* currentRow);

}  // namespace dz
