// The parts list of a position, read on its own and rendered in every table of a line
// that carries it. Reading never fails, gives no more records than bytes, and no field
// longer than the input.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "output/ExDataGridLines.h"
#include "output/PartsList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto records = dz::ReadPartsListRecords(text);
  if (records.size() > size) __builtin_trap();
  for (const auto& r : records)
    for (const auto& f : r)
      if (f.size() > size) __builtin_trap();
  dz::ReadPartsList(text);

  dz::TExDataGridLines lines;
  dz::TDataGridLine& l = lines.Add();
  l.intern = std::string(text);
  l.User = std::string(text);
  l.ExtraData = std::string(text);
  lines.GetAsHTML();
  lines.GetAsCSV();
  lines.GetAsText();
  return 0;
}
