#pragma once
// One sound as a complete WAV file held in memory, with the form in which it is kept in
// a component stream.
//
// Stream form: the length as a 32-bit little-endian integer, then that many bytes. In a
// component stream it is the binary value of the property "Data" (type tag 10, the
// payload length, then the stream form); an empty block writes no property at all.
// Reading raises dz::Exception: "Stream-Read-Fehler" when the bytes run out or a length is
// negative, "Ungültiger Wert der Eigenschaft" for a value that is not binary.

#include <cstdint>
#include <string>
#include <string_view>

#include "docdata/StreamValues.h"

namespace dz {

class TWaveData {
 public:
  // A copy of the block, or an empty block when source is null.
  void Assign(const TWaveData* source);
  // Copies `length` bytes; a length below 1 leaves the block empty.
  void SetData(int32_t length, const void* bytes);

  bool Empty() const { return FData.empty(); }
  int32_t Size() const { return static_cast<int32_t>(FData.size()); }
  // The bytes of the block; empty (and no data) for an empty block.
  std::string_view Bytes() const { return FData; }

  void WriteData(TValueWriter& out) const;
  // Replaces the block with the one that starts at the reader's position.
  void ReadData(TValueReader& in);

  // The property entry (name, then the binary value); nothing when the block is empty.
  void WriteProperty(TValueWriter& out, std::string_view name = "Data") const;
  // Reads the value of the property (its name already read) and replaces the block.
  void ReadPropertyValue(TValueReader& in);

 private:
  std::string FData;
};

}  // namespace dz
