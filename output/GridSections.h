#pragma once
// The rows through which the four storages of a run are shown, one section below the
// other: what the window's grid holds and what the headless report prints. Every cell
// text is ready to show (8-bit text, numbers in the process-wide number format).
//
// The rows point into the TSuperStack they were built from and live as long as it.
// Nothing here raises except for allocation failure.

#include <array>
#include <string>
#include <vector>

#include "engine/SuperStack.h"

namespace dz {

enum class TGridRowKind {
  Section,  // heading of a section: Info = its name, Description1 = what it shows
  Line,     // one entry of the section's storage
  AllDone,  // after an empty "Fehlend" section: nothing is missing
  Sum,      // Description1 "Summe", Info = the section total
};

struct TGridRow {
  TGridRowKind Kind = TGridRowKind::Line;
  int Section = 0;    // index into kGridSections
  std::string Image;  // image index as text: "2" missing, "1" source / all done, "8" sum
  std::string Position;
  std::string Description1;
  std::string PartNo;
  std::string Quantity;
  std::string Unit;
  std::string Info;
  LineEntry* Entry = nullptr;       // Line rows only
  TLineStorage* Storage = nullptr;  // Line rows only
};

struct TGridSection {
  const char* Info;         // "Fehlend", ...
  const char* Description;  // "Diese wurden nicht berechnet", ...
  const char* StorageName;  // "Missing", ...
  const char* Image;        // image of its line rows
  bool SumRow;
};

// In grid order: Missing, Source, Merged, Invoiced.
extern const std::array<TGridSection, 4> kGridSections;

TLineStorage& SectionStorage(TSuperStack& stack, int section);

// The quantity cell: N(Stueck) with ",#############0.000", and a difference that is not
// zero after it in brackets ("5,000 [2,000]").
std::string QuantityCellText(const LineEntry& entry);

// Sum of N(SummeBetrag) over the storage (text that is no number counts as 0).
long double SectionTotal(const TLineStorage& storage);

// All rows of the four sections in grid order (without the grid's title row).
std::vector<TGridRow> BuildGridRows(TSuperStack& stack);

}  // namespace dz
