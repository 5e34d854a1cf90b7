#include "output/ClipboardExport.h"

#include <cstdint>

#include "docdata/ComponentStream.h"
#include "docdata/Cp1252.h"
#include "output/HtmlClipboard.h"

namespace dz {

const char* const kClipboardCannotOpen =
    "Zwischenablage kann nicht ge\xF6"
    "ffnet werden";

std::vector<ClipboardBlock> ClipboardPayload::Blocks() const {
  return {{kFormatDataGridData, &DataGridData},
          {kFormatHTML, &HTMLFormat},
          {kFormatCSV, &CSV},
          {kMimeHTML, &HTMLUtf8},
          {kMimePlain, &TextUtf8},
          {kMimeCSV, &CSVUtf8}};
}

std::vector<SystemClipboardBlock> ClipboardPayload::SystemBlocks() const {
  return {{kFormatDataGridData, &DataGridData},
          {kFormatHTML, &HTMLFormat},
          {"", &Text},
          {kFormatCSV, &CSV}};
}

ClipboardPayload RenderToClipboard(TExDataGridLines& lines, const std::string& guid) {
  ClipboardPayload p;
  lines.GUID = guid;
  TDataGridLinesWrapper wrapper(lines);
  const std::string stream = WriteComponent(wrapper);
  const auto size = static_cast<uint32_t>(stream.size());
  for (int i = 0; i < 4; ++i) p.DataGridData += static_cast<char>((size >> (8 * i)) & 0xFF);
  p.DataGridData += stream;

  const std::string table = lines.HTMLTable();
  p.HTMLFormat = HTMLClipboardEnvelope(table);
  p.Text = lines.GetAsText();
  p.CSV = lines.GetAsCSV();
  p.HTMLUtf8 = Cp1252ToUtf8(table);
  p.TextUtf8 = Cp1252ToUtf8(p.Text);
  p.CSVUtf8 = Cp1252ToUtf8(p.CSV);
  return p;
}

ClipboardPayload CopySelectedLines(std::span<TDataGridLine* const> rowLines,
                                   const std::string& guid) {
  TExDataGridLines lines;  // freed on every way out
  for (TDataGridLine* line : rowLines) {
    if (!line) continue;
    line->Isnetto = true;
    line->DM = false;
    lines.Add().Assign(*line);
  }
  return RenderToClipboard(lines, guid);
}

}  // namespace dz
