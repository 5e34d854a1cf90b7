// The host's field list answer of a query: definitions, then every field found by name.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hostlink/VirtualDataSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dz::TVirtualDataSet ds;
  ds.SetFieldDefsFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (ds.FieldCount() != ds.FieldDefs().size()) __builtin_trap();
  for (const auto& def : ds.FieldDefs()) {
    dz::TField* f = ds.FindField(def.Name);
    if (f == nullptr || !f->IsNull()) __builtin_trap();
  }
  return 0;
}
