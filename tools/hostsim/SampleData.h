#pragma once
// Documents for the host stand-in: the open document (JSON, as the host hands it out),
// stored documents (rows of "Auftraege"), and the sample the demo and the benchmarks use.
//
// All text is 8-bit (Windows-1252). Failures are values: false with a reason.

#include <cstdint>
#include <string>
#include <vector>

#include "docdata/DataGridLine.h"
#include "tools/hostsim/DocumentDatabase.h"

namespace dz::hostsim {

// The document that is open in the host.
struct OpenDocumentSpec {
  std::string printName = "Rechnung";
  std::string printUid;
  std::string uid;  // "-1" for a document not saved yet
  int32_t id = 0;
  int32_t type = 1;  // InternalType
  std::string date;  // "2024-03-01T12:30:00.000"
  std::string address;
  std::string infoLines;  // the "InfoLines" text as the host stores it
  std::vector<TDataGridLine> parts;
};

// The JSON text of an open document (Windows-1252).
std::string OpenDocumentJson(const OpenDocumentSpec& doc);

// "InfoLines" in the comma-separated form: one record per linked document, in this order.
std::string InfoLinesText(const std::vector<int32_t>& linkedIds);

// A stored document with its positions written into the two compressed columns.
DocumentRow StoredDocumentRow(int32_t id, const std::string& number, int32_t type,
                              const std::string& date, const std::vector<TDataGridLine>& lines);

// A position line; `kind` is the row-kind text ("P" a position, "t" a text row, ...).
TDataGridLine PositionLine(const std::string& pos, const std::string& quantity,
                           const std::string& unit, const std::string& description,
                           const std::string& partNo, const std::string& price,
                           const std::string& kind = "P");

struct SeedOptions {
  std::string folder;  // the database folder; created when missing
  // 0: the hand-made sample. Otherwise a generated one: an order confirmation of
  // `positions` positions and `invoices` stored invoices of `invoicePositions` each.
  int positions = 0;
  int invoices = 0;
  int invoicePositions = 20;
  std::string systemUid = "MV-7F3A-2291-0C44";
};

struct SeedResult {
  std::string documentFile;  // the open document, "<folder>/open-document.json"
  int documents = 0;         // rows written to "Auftraege"
  int positions = 0;         // positions stored in them
};

// Writes the database (replacing one that is there), "SYS.UID" and the open document.
bool SeedSample(const SeedOptions& options, SeedResult* result, std::string* error);

}  // namespace dz::hostsim
