#pragma once
// A small built-in stored document (an order confirmation of ten German positions with a
// text row and a long text) for the demo and for tests, and a plain-text rendering of
// position lines for a terminal.

#include <string>
#include <vector>

#include "docdata/DataGrid.h"
#include "docdata/DataGridLine.h"
#include "docdata/PositionTableWriter.h"

namespace dz {

std::vector<TDataGridLine> SamplePositions();
StoredDocument SampleStoredDocument();

// The rows of a loaded table as an aligned UTF-8 table, one line per row, long texts
// indented beneath their row, marker rows shown with their kind.
std::string RenderPositionTable(const TDataGrid& table);

}  // namespace dz
