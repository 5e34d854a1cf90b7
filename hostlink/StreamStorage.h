#pragma once
// TStreamStorage: the named, typed values of one message, kept only in serialised form.
// The bytes of the store are exactly the bytes that travel on the wire: a plain sequence
// of entries, each
//   int32 LE  L = byte length of the name
//   L bytes   the name, UTF-16LE
//   int64 LE  S = byte length of the value
//   S bytes   the value (Boolean: 1 byte; Integer: int32 LE; text: UTF-16LE)
// with no header, count, terminator or type tag; a reader must know the kind it expects.
//
// A received message is appended raw and indexed lazily: each read scans only as far as
// it must, indexing every name it passes, and no byte is scanned twice. When a received
// message holds a name twice, the first entry counts, in whatever order values are read.
//
// Failures: writing a name that is already there raises dz::Exception; reading never
// raises (a missing name, or an entry that runs past the end of a damaged message, reads
// as absent).

#include <cstdint>
#include <string>
#include <string_view>

#include "hostlink/StringHash.h"

namespace dz {

class TStreamStorage {
 public:
  TStreamStorage() = default;
  TStreamStorage(const TStreamStorage&) = delete;
  TStreamStorage& operator=(const TStreamStorage&) = delete;

  // Each write appends one entry at the end of the stream, whatever its position. An
  // empty name writes nothing; so does an empty text (absent and empty read the same).
  void WriteBoolean(std::u16string_view name, bool value);
  void WriteInteger(std::u16string_view name, std::int32_t value);
  void WriteUnicodeString(std::u16string_view name, std::u16string_view value);

  // The text stored under `name` (exact comparison), or empty text. An odd last byte of
  // the value belongs to the entry but not to the text.
  std::u16string ReadUnicodeString(std::u16string_view name);

  // The raw value bytes under `name`, looked up like ReadUnicodeString; false when absent.
  // The view is valid until the next change of the stream.
  bool FindValue(std::u16string_view name, std::string_view& value);

  // Raw access for the transport.
  std::int64_t Size() const { return static_cast<std::int64_t>(stream_.size()); }
  std::int64_t Position() const { return position_; }
  void SetPosition(std::int64_t position);
  // Up to `maxBytes` bytes from the position on, advancing it; empty at the end.
  std::string_view ReadPiece(std::size_t maxBytes);
  // Appends received bytes; the name index and the scan position stay as they are.
  void AppendRaw(const void* bytes, std::size_t size);
  const std::string& Bytes() const { return stream_; }

  // End of the part of the stream whose names are indexed.
  std::int64_t ScanPosition() const { return scanPosition_; }

 private:
  void AppendEntry(std::u16string_view name, const void* value, std::size_t size);
  // Looks the name up (index first, then the lazy scan). On success `valuePos` is the
  // first value byte and `valueSize` its length; the stream position is after the value.
  bool Locate(std::u16string_view name, std::int64_t& valuePos, std::int64_t& valueSize);
  // Scans from the scan position until `wanted` is found (null: to the end).
  bool Scan(const std::u16string_view* wanted, std::int64_t& valuePos, std::int64_t& valueSize);
  bool SizeFieldAt(std::int64_t pos, std::int64_t& valueSize) const;

  std::string stream_;
  std::int64_t position_ = 0;
  TStringHash index_{50};
  std::int64_t scanPosition_ = 0;
};

}  // namespace dz
