#pragma once
// The value tags shared by the component streams and the query record files, and a
// bounded reader and a writer for them.
//
// TValueReader reads from bytes it does not own (they must outlive it). Every read is
// checked against the end of the bytes first: running out raises dz::Exception with the
// message given at construction, so the component stream and the record file can report
// it each in their own words. Lengths read from the data are checked against the bytes
// that remain before anything is allocated. The payload readers take a tag already read
// and answer false when the tag is not of their kind, leaving the choice of message to
// the caller.
//
// TValueWriter appends to a byte string it owns.

#include <cstdint>
#include <string>
#include <string_view>

namespace dz {

enum class ValueType : uint8_t {
  Null = 0,  // end of list
  List = 1,
  Int8 = 2,
  Int16 = 3,
  Int32 = 4,
  Extended = 5,
  String = 6,
  Ident = 7,
  False = 8,
  True = 9,
  Binary = 10,
  Set = 11,
  LString = 12,
  Nil = 13,
  Collection = 14,
  Single = 15,
  Currency = 16,
  Date = 17,
  WString = 18,
  Int64 = 19,
  Utf8String = 20,
};

inline bool IsIntegerTag(ValueType t) {
  return t == ValueType::Int8 || t == ValueType::Int16 || t == ValueType::Int32;
}
inline bool IsTextTag(ValueType t) {
  return t == ValueType::String || t == ValueType::LString || t == ValueType::WString ||
         t == ValueType::Utf8String;
}

extern const char* const kStreamReadError;  // "Stream-Read-Fehler"

class TValueReader {
 public:
  explicit TValueReader(std::string_view bytes, std::string endMessage = kStreamReadError);
  // The reader keeps a view: a temporary string would be gone before the first read.
  TValueReader(std::string&& bytes, std::string endMessage = kStreamReadError) = delete;

  size_t Position() const { return pos_; }
  size_t Size() const { return bytes_.size(); }
  size_t Remaining() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ >= bytes_.size(); }

  // Raises the end-of-data failure.
  [[noreturn]] void FailEnd() const;

  uint8_t ReadByte();
  uint8_t PeekByte() const;
  // A view into the reader's bytes.
  std::string_view ReadBytes(size_t count);
  int8_t ReadInt8() { return static_cast<int8_t>(ReadByte()); }
  int16_t ReadInt16();
  int32_t ReadInt32();
  uint32_t ReadUInt32() { return static_cast<uint32_t>(ReadInt32()); }
  int64_t ReadInt64();

  ValueType ReadValueType() { return static_cast<ValueType>(ReadByte()); }
  ValueType NextValueType() const { return static_cast<ValueType>(PeekByte()); }
  // One length byte, then that many bytes.
  std::string ReadShortString();

  // Tags 2, 3, 4 and 19, sign-extended.
  bool ReadIntegerPayload(ValueType tag, int64_t& out);
  // Tags 5 (extended), 15 (single), 16 (currency, value times 10000) and 17 (date).
  bool ReadFloatPayload(ValueType tag, long double& out);
  // Tags 6 and 12 give the bytes as stored; 18 (UTF-16LE) and 20 (UTF-8) are converted
  // to Windows-1252 text, which restores every byte value 0-255 written that way.
  // Tag 7 (identifier) is not a text here.
  bool ReadTextPayload(ValueType tag, std::string& out);
  // Skips the payload of any tag 0-20 (lists, sets and collections as a whole); false for
  // an unknown tag or a malformed nested value.
  bool SkipPayload(ValueType tag);

 private:
  bool SkipValue(int depth);
  std::string_view bytes_;
  size_t pos_ = 0;
  std::string endMessage_;
};

class TValueWriter {
 public:
  TValueWriter() = default;
  // Writes into `buffer`, emptied first: its room is reused (see Take).
  explicit TValueWriter(std::string buffer) : out_(std::move(buffer)) { out_.clear(); }

  void Reserve(size_t bytes) { out_.reserve(bytes); }
  const std::string& Bytes() const { return out_; }
  std::string Take() { return std::move(out_); }

  void WriteByte(uint8_t b) { out_.push_back(static_cast<char>(b)); }
  void WriteRaw(std::string_view bytes) { out_.append(bytes); }
  void WriteInt16(int16_t v);
  void WriteInt32(int32_t v);
  void WriteInt64(int64_t v);
  void WriteValueType(ValueType t) { WriteByte(static_cast<uint8_t>(t)); }
  // Length byte plus bytes; raises dz::Exception for more than 255 bytes.
  void WriteShortString(std::string_view text);

  void WriteListBegin() { WriteValueType(ValueType::List); }
  void WriteListEnd() { WriteValueType(ValueType::Null); }
  // The smallest of tags 2, 3 and 4 that holds the value (19 beyond 32 bits).
  void WriteInteger(int64_t v);
  void WriteBoolean(bool v) { WriteValueType(v ? ValueType::True : ValueType::False); }
  void WriteExtended(long double v);
  // Tag 6 up to 255 bytes, tag 12 above.
  void WriteString(std::string_view text);
  // Tag 20: the Windows-1252 text as UTF-8.
  void WriteUtf8String(std::string_view text);
  // Tag 18: the Windows-1252 text as UTF-16LE.
  void WriteWideString(std::string_view text);
  void WriteIdent(std::string_view name);

 private:
  std::string out_;
};

}  // namespace dz
