// The component stream reader on any bytes, for each of the three roots. A stream that
// reads must write, and what is written must read back and write the same bytes again.
#include <cstdint>
#include <string>
#include <string_view>

#include "docdata/AddInfoLine.h"
#include "docdata/Column.h"
#include "docdata/ComponentStream.h"
#include "docdata/DataGridLines.h"
#include "docdata/Exception.h"

namespace {

template <class Make>
void Check(std::string_view in, Make make) {
  auto first = make();
  try {
    dz::ReadComponent(in, first.root());
  } catch (const dz::Exception&) {
    return;
  }
  const std::string once = dz::WriteComponent(first.root());
  auto second = make();
  dz::ReadComponent(once, second.root());  // must not throw
  if (dz::WriteComponent(second.root()) != once) __builtin_trap();
}

struct Columns {
  dz::TDataGridColumns cols;
  dz::TColumnsWrapper w{cols};
  dz::StreamRoot& root() { return w; }
};
struct InfoLines {
  dz::TAddInfoLinesWrapper w;
  dz::StreamRoot& root() { return w; }
};
struct Lines {
  dz::TDataGridLines lines;
  dz::TDataGridLinesWrapper w{lines};
  dz::StreamRoot& root() { return w; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  Check(in, [] { return Columns(); });
  Check(in, [] { return InfoLines(); });
  Check(in, [] { return Lines(); });
  return 0;
}
