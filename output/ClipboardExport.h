#pragma once
// Copying positions to the clipboard, without the clipboard itself: the window collects
// the lines of the selected rows, calls CopySelectedLines and puts every block of the
// payload on the clipboard under its name, in the order of Blocks().
//
// Ownership: the collection built for a copy lives only inside the call (also when it
// fails); the payload owns its bytes. Failures raise dz::Exception (allocation only).

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "docdata/DataGridLine.h"
#include "output/ExDataGridLines.h"
#include "platform/SystemClipboard.h"

namespace dz {

// Names of the clipboard types.
inline constexpr std::string_view kFormatDataGridData = "CF_DATAGRIDDATA";
inline constexpr std::string_view kFormatHTML = "HTML Format";
inline constexpr std::string_view kFormatCSV = "CSV";
// For programs on this platform, which read MIME types in UTF-8.
inline constexpr std::string_view kMimeHTML = "text/html";
inline constexpr std::string_view kMimePlain = "text/plain";
inline constexpr std::string_view kMimeCSV = "text/csv";

// The error of a clipboard that cannot be opened (Windows-1252), for the error panel.
extern const char* const kClipboardCannotOpen;  // "Zwischenablage kann nicht geöffnet werden"

struct ClipboardBlock {
  std::string_view name;
  const std::string* bytes;  // points into the payload
};

// The bytes of every clipboard type of one copy; the blocks hold exactly these bytes (no
// terminating NUL).
struct ClipboardPayload {
  std::string DataGridData;  // "CF_DATAGRIDDATA": 32-bit little-endian length + stream
  std::string HTMLFormat;    // "HTML Format": the envelope, Windows-1252
  std::string Text;          // the plain text, Windows-1252 (the system's 8-bit text type)
  std::string CSV;           // "CSV", Windows-1252
  std::string HTMLUtf8;      // "text/html": the HTML table alone, UTF-8
  std::string TextUtf8;      // "text/plain"
  std::string CSVUtf8;       // "text/csv"

  // The named blocks in the order they go on the toolkit's clipboard: "CF_DATAGRIDDATA",
  // "HTML Format", "CSV", "text/html", "text/plain", "text/csv". (Text has no name of its
  // own there: "text/plain" carries it.)
  std::vector<ClipboardBlock> Blocks() const;
  // The blocks for a system clipboard of registered formats (Windows), in the order they go
  // on it: "CF_DATAGRIDDATA", "HTML Format", Text under the system's text format, "CSV".
  std::vector<SystemClipboardBlock> SystemBlocks() const;
};

// Renders `lines` for the clipboard: its GUID is set to `guid` first, then the wrapper
// stream and the three renderings are made.
ClipboardPayload RenderToClipboard(TExDataGridLines& lines, const std::string& guid);

// The copy entry of the grid. `rowLines` holds, for each selected row in ascending row
// order, the run's line that the row shows, or null for a row without one (skipped). Each
// line copied is marked as net and not DM (Isnetto true, DM false) on the run's own line,
// as the host expects of pasted positions. `guid` is the process-wide system UID.
ClipboardPayload CopySelectedLines(std::span<TDataGridLine* const> rowLines,
                                   const std::string& guid);

}  // namespace dz
