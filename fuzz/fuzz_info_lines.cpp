// The linked-document info lines in both encodings: a component stream (input beginning
// with "TPF0") or comma-separated records. Loading never fails and always leaves the
// lines sorted by ORG_ID.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "docdata/AddInfoLines.h"
#include "docdata/CSVReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  dz::TAddInfoLines lines;
  lines.Load(text);
  for (size_t i = 1; i < lines.Count(); ++i)
    if (lines.Item(i - 1).ORG_ID > lines.Item(i).ORG_ID) __builtin_trap();

  // The reader ends, and a record never holds more fields than separators plus one.
  dz::TCSVReader reader(text);
  std::vector<std::string> fields;
  size_t records = 0;
  while (reader.Next(fields)) {
    if (++records > size) __builtin_trap();
    for (const auto& f : fields) dz::UnescapeFieldText(f);
  }
  return 0;
}
