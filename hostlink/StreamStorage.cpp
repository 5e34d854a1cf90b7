#include "hostlink/StreamStorage.h"

#include <algorithm>

#include "docdata/Cp1252.h"
#include "docdata/Exception.h"

namespace dz {

namespace {

std::int64_t LoadLE(const std::string& s, std::int64_t pos, int width) {
  std::uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(s[static_cast<std::size_t>(pos) + i]);
  if (width == 4) return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  return static_cast<std::int64_t>(v);
}

void StoreLE(std::string& s, std::uint64_t v, int width) {
  for (int i = 0; i < width; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::u16string UnitsAt(const std::string& s, std::int64_t pos, std::int64_t bytes) {
  std::u16string out(static_cast<std::size_t>(bytes / 2), u'\0');
  const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + pos;
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  return out;
}

}  // namespace

void TStreamStorage::SetPosition(std::int64_t position) {
  position_ = std::clamp<std::int64_t>(position, 0, Size());
}

std::string_view TStreamStorage::ReadPiece(std::size_t maxBytes) {
  std::size_t left = static_cast<std::size_t>(Size() - position_);
  std::size_t n = std::min(maxBytes, left);
  std::string_view piece(stream_.data() + position_, n);
  position_ += static_cast<std::int64_t>(n);
  return piece;
}

void TStreamStorage::AppendRaw(const void* bytes, std::size_t size) {
  stream_.append(static_cast<const char*>(bytes), size);
  position_ = Size();
}

void TStreamStorage::WriteBoolean(std::u16string_view name, bool value) {
  unsigned char b = value ? 1 : 0;
  AppendEntry(name, &b, 1);
}

void TStreamStorage::WriteInteger(std::u16string_view name, std::int32_t value) {
  std::string v;
  StoreLE(v, static_cast<std::uint32_t>(value), 4);
  AppendEntry(name, v.data(), v.size());
}

void TStreamStorage::WriteUnicodeString(std::u16string_view name, std::u16string_view value) {
  if (value.empty()) return;
  std::string v;
  v.reserve(value.size() * 2);
  for (char16_t c : value) StoreLE(v, c, 2);
  AppendEntry(name, v.data(), v.size());
}

void TStreamStorage::AppendEntry(std::u16string_view name, const void* value, std::size_t size) {
  if (name.empty()) return;
  // Bytes that arrived raw are indexed first, so that no name can be written twice.
  if (scanPosition_ < Size()) {
    std::int64_t p, s;
    Scan(nullptr, p, s);
  }
  std::string key = Utf16ToCp1252(name);
  if (index_.ValueOf(key) >= 0) throw Exception("Value with name \"" + key + "\" already exists");
  StoreLE(stream_, static_cast<std::uint32_t>(name.size() * 2), 4);
  for (char16_t c : name) StoreLE(stream_, c, 2);
  index_.Add(std::move(key), Size());
  StoreLE(stream_, size, 8);
  stream_.append(static_cast<const char*>(value), size);
  position_ = Size();
  scanPosition_ = Size();
}

bool TStreamStorage::SizeFieldAt(std::int64_t pos, std::int64_t& valueSize) const {
  if (pos < 0 || Size() - pos < 8) return false;
  valueSize = LoadLE(stream_, pos, 8);
  return valueSize >= 0 && valueSize <= Size() - pos - 8;
}

bool TStreamStorage::Scan(const std::u16string_view* wanted, std::int64_t& valuePos,
                          std::int64_t& valueSize) {
  const std::int64_t end = Size();
  std::int64_t p = std::max<std::int64_t>(scanPosition_, 0);
  bool found = false;
  while (p < end) {
    // An entry that runs past the end belongs to a cut or damaged message: nothing
    // from it on can be trusted, so the scan ends there for good.
    if (end - p < 4) {
      p = end;
      break;
    }
    std::int64_t nameBytes = LoadLE(stream_, p, 4);
    if (nameBytes < 0 || nameBytes > end - p - 4) {
      p = end;
      break;
    }
    std::int64_t namePos = p + 4;
    std::int64_t sizePos = namePos + nameBytes;
    std::int64_t s;
    if (!SizeFieldAt(sizePos, s)) {
      p = end;
      break;
    }
    std::u16string name = UnitsAt(stream_, namePos, nameBytes);
    // A received message may carry a name twice; the first entry is the one that counts,
    // whatever order the values are read in.
    std::string key = Utf16ToCp1252(name);
    if (index_.ValueOf(key) < 0) index_.Add(std::move(key), sizePos);
    p = sizePos + 8 + s;
    if (wanted && name == *wanted) {
      valuePos = sizePos + 8;
      valueSize = s;
      found = true;
      break;
    }
  }
  position_ = p;
  scanPosition_ = std::max(scanPosition_, p);
  return found;
}

bool TStreamStorage::Locate(std::u16string_view name, std::int64_t& valuePos,
                            std::int64_t& valueSize) {
  if (name.empty()) return false;
  std::int64_t sizePos = index_.ValueOf(Utf16ToCp1252(name));
  if (sizePos >= 0) {
    if (!SizeFieldAt(sizePos, valueSize)) return false;
    valuePos = sizePos + 8;
    position_ = valuePos + valueSize;
    return true;
  }
  return Scan(&name, valuePos, valueSize);
}

bool TStreamStorage::FindValue(std::u16string_view name, std::string_view& value) {
  std::int64_t pos, size;
  if (!Locate(name, pos, size)) return false;
  value = std::string_view(stream_.data() + pos, static_cast<std::size_t>(size));
  return true;
}

std::u16string TStreamStorage::ReadUnicodeString(std::u16string_view name) {
  std::int64_t pos, size;
  if (!Locate(name, pos, size)) return {};
  return UnitsAt(stream_, pos, size);
}

}  // namespace dz
