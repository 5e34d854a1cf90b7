#include "ui/WaveData.h"

#include "docdata/ComponentStream.h"
#include "docdata/Exception.h"

namespace dz {

void TWaveData::Assign(const TWaveData* source) {
  if (source == this) return;
  if (source)
    FData = source->FData;
  else
    FData.clear();
}

void TWaveData::SetData(int32_t length, const void* bytes) {
  if (length < 1 || !bytes)
    FData.clear();
  else
    FData.assign(static_cast<const char*>(bytes), static_cast<size_t>(length));
}

void TWaveData::WriteData(TValueWriter& out) const {
  out.WriteInt32(Size());
  out.WriteRaw(FData);
}

void TWaveData::ReadData(TValueReader& in) {
  const int32_t length = in.ReadInt32();
  if (length < 0) throw Exception(kStreamReadError);
  const std::string_view bytes = in.ReadBytes(static_cast<size_t>(length));
  FData.assign(bytes);
}

void TWaveData::WriteProperty(TValueWriter& out, std::string_view name) const {
  if (Empty()) return;
  out.WriteShortString(name);
  out.WriteValueType(ValueType::Binary);
  out.WriteInt32(static_cast<int32_t>(4 + FData.size()));
  WriteData(out);
}

void TWaveData::ReadPropertyValue(TValueReader& in) {
  if (in.ReadValueType() != ValueType::Binary) throw Exception(kInvalidPropertyValue);
  const int32_t size = in.ReadInt32();
  if (size < 0) throw Exception(kStreamReadError);
  // The block is read from within the binary value only, so a wrong inner length cannot
  // run into whatever follows the property.
  TValueReader payload(in.ReadBytes(static_cast<size_t>(size)));
  ReadData(payload);
}

}  // namespace dz
