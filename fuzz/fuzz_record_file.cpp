// Record files of query results: the first byte gives the number of fields (0-31), the
// next bytes their type codes, the rest is the file. Every field of every record is then
// read in every way the callers read it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "docdata/Exception.h"
#include "hostlink/BinaryStreamFormat.h"
#include "hostlink/VirtualDataSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t fields = data[0] % 32;
  if (size < 1 + fields) return 0;
  dz::TVirtualDataSet ds;
  for (size_t i = 0; i < fields; ++i) ds.AddFieldDef("F" + std::to_string(i), data[1 + i] % 32, 0);
  ds.Open();
  dz::TBinaryStreamFormat format;
  try {
    format.LoadFromBytes(ds, data + 1 + fields, size - 1 - fields);
  } catch (const dz::Exception&) {
  }
  size_t sum = 0;
  for (ds.First(); !ds.Eof(); ds.Next()) {
    for (size_t i = 0; i < ds.FieldCount(); ++i) {
      dz::TField& f = ds.Fields(i);
      sum += f.IsNull() + f.AsString().size() + static_cast<size_t>(f.AsDateTime() != 0) +
             f.AsBoolean() + static_cast<size_t>(f.AsFloat() != 0);
      try {
        sum += static_cast<size_t>(f.AsInteger());
      } catch (const dz::Exception&) {
      }
    }
  }
  return sum == 0xFFFFFFFF ? 1 : 0;
}
