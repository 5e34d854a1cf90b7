#include "docdata/StreamValues.h"

#include <cstring>

#include "docdata/Cp1252.h"
#include "docdata/Exception.h"
#include "docdata/ExtendedFloat.h"

namespace dz {

const char* const kStreamReadError = "Stream-Read-Fehler";

namespace {
// Nested lists deeper than this are not data any of our records hold.
constexpr int kMaxSkipDepth = 32;
}  // namespace

TValueReader::TValueReader(std::string_view bytes, std::string endMessage)
    : bytes_(bytes), endMessage_(std::move(endMessage)) {}

void TValueReader::FailEnd() const {
  throw Exception(endMessage_);
}

uint8_t TValueReader::ReadByte() {
  if (pos_ >= bytes_.size()) FailEnd();
  return static_cast<uint8_t>(bytes_[pos_++]);
}

uint8_t TValueReader::PeekByte() const {
  if (pos_ >= bytes_.size()) FailEnd();
  return static_cast<uint8_t>(bytes_[pos_]);
}

std::string_view TValueReader::ReadBytes(size_t count) {
  if (count > Remaining()) FailEnd();
  std::string_view v = bytes_.substr(pos_, count);
  pos_ += count;
  return v;
}

int16_t TValueReader::ReadInt16() {
  auto b = ReadBytes(2);
  return static_cast<int16_t>(static_cast<uint8_t>(b[0]) | (static_cast<uint8_t>(b[1]) << 8));
}

int32_t TValueReader::ReadInt32() {
  auto b = ReadBytes(4);
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[i]);
  return static_cast<int32_t>(v);
}

int64_t TValueReader::ReadInt64() {
  auto b = ReadBytes(8);
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[i]);
  return static_cast<int64_t>(v);
}

std::string TValueReader::ReadShortString() {
  size_t n = ReadByte();
  return std::string(ReadBytes(n));
}

bool TValueReader::ReadIntegerPayload(ValueType tag, int64_t& out) {
  switch (tag) {
    case ValueType::Int8:
      out = ReadInt8();
      return true;
    case ValueType::Int16:
      out = ReadInt16();
      return true;
    case ValueType::Int32:
      out = ReadInt32();
      return true;
    case ValueType::Int64:
      out = ReadInt64();
      return true;
    default:
      return false;
  }
}

bool TValueReader::ReadFloatPayload(ValueType tag, long double& out) {
  switch (tag) {
    case ValueType::Extended: {
      auto b = ReadBytes(10);
      out = DecodeExtended(reinterpret_cast<const uint8_t*>(b.data()));
      return true;
    }
    case ValueType::Single: {
      uint32_t bits = ReadUInt32();
      float f;
      std::memcpy(&f, &bits, sizeof f);
      out = f;
      return true;
    }
    case ValueType::Currency:
      out = static_cast<long double>(ReadInt64()) / 10000;
      return true;
    case ValueType::Date: {
      uint64_t bits = static_cast<uint64_t>(ReadInt64());
      double d;
      std::memcpy(&d, &bits, sizeof d);
      out = d;
      return true;
    }
    default:
      return false;
  }
}

bool TValueReader::ReadTextPayload(ValueType tag, std::string& out) {
  switch (tag) {
    case ValueType::String:
      out = ReadShortString();
      return true;
    case ValueType::LString: {
      uint32_t n = ReadUInt32();
      out.assign(ReadBytes(n));
      return true;
    }
    case ValueType::Utf8String: {
      uint32_t n = ReadUInt32();
      Utf8ToCp1252(ReadBytes(n), out);
      return true;
    }
    case ValueType::WString: {
      uint32_t n = ReadUInt32();
      if (n > Remaining() / 2) FailEnd();
      auto b = ReadBytes(size_t{n} * 2);
      std::u16string w(n, u'\0');
      for (size_t i = 0; i < n; ++i)
        w[i] = static_cast<char16_t>(static_cast<uint8_t>(b[2 * i]) |
                                     (static_cast<uint8_t>(b[2 * i + 1]) << 8));
      out = Utf16ToCp1252(w);
      return true;
    }
    default:
      return false;
  }
}

bool TValueReader::SkipPayload(ValueType tag) {
  --pos_;  // SkipValue reads the tag itself
  return SkipValue(0);
}

bool TValueReader::SkipValue(int depth) {
  if (depth > kMaxSkipDepth) return false;
  ValueType t = ReadValueType();
  switch (t) {
    case ValueType::Null:
    case ValueType::False:
    case ValueType::True:
    case ValueType::Nil:
      return true;
    case ValueType::List:
      while (NextValueType() != ValueType::Null)
        if (!SkipValue(depth + 1)) return false;
      ReadByte();
      return true;
    case ValueType::Int8:
      ReadBytes(1);
      return true;
    case ValueType::Int16:
      ReadBytes(2);
      return true;
    case ValueType::Int32:
    case ValueType::Single:
      ReadBytes(4);
      return true;
    case ValueType::Extended:
      ReadBytes(10);
      return true;
    case ValueType::String:
    case ValueType::Ident:
      ReadBytes(ReadByte());
      return true;
    case ValueType::Binary:
    case ValueType::LString:
    case ValueType::Utf8String:
      ReadBytes(ReadUInt32());
      return true;
    case ValueType::WString: {
      uint32_t n = ReadUInt32();
      if (n > Remaining() / 2) FailEnd();
      ReadBytes(size_t{n} * 2);
      return true;
    }
    case ValueType::Set:
      while (true) {
        size_t n = ReadByte();
        if (n == 0) return true;
        ReadBytes(n);
      }
    case ValueType::Collection:
      while (NextValueType() != ValueType::Null) {
        if (IsIntegerTag(NextValueType()) && !SkipValue(depth + 1)) return false;
        if (ReadValueType() != ValueType::List) return false;
        while (NextValueType() != ValueType::Null) {
          ReadShortString();
          if (!SkipValue(depth + 1)) return false;
        }
        ReadByte();
      }
      ReadByte();
      return true;
    case ValueType::Currency:
    case ValueType::Date:
    case ValueType::Int64:
      ReadBytes(8);
      return true;
  }
  return false;
}

namespace {

// The little-endian bytes of an integer, appended in one go.
template <class U>
void AppendLE(std::string& out, U u) {
  char b[sizeof u];
  for (size_t i = 0; i < sizeof u; ++i) b[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
  out.append(b, sizeof b);
}

}  // namespace

void TValueWriter::WriteInt16(int16_t v) {
  AppendLE(out_, static_cast<uint16_t>(v));
}

void TValueWriter::WriteInt32(int32_t v) {
  AppendLE(out_, static_cast<uint32_t>(v));
}

void TValueWriter::WriteInt64(int64_t v) {
  AppendLE(out_, static_cast<uint64_t>(v));
}

void TValueWriter::WriteShortString(std::string_view text) {
  if (text.size() > 255) throw Exception("Text zu lang: " + std::string(text.substr(0, 32)));
  WriteByte(static_cast<uint8_t>(text.size()));
  WriteRaw(text);
}

void TValueWriter::WriteInteger(int64_t v) {
  if (v >= -128 && v <= 127) {
    WriteValueType(ValueType::Int8);
    WriteByte(static_cast<uint8_t>(static_cast<int8_t>(v)));
  } else if (v >= -32768 && v <= 32767) {
    WriteValueType(ValueType::Int16);
    WriteInt16(static_cast<int16_t>(v));
  } else if (v >= INT32_MIN && v <= INT32_MAX) {
    WriteValueType(ValueType::Int32);
    WriteInt32(static_cast<int32_t>(v));
  } else {
    WriteValueType(ValueType::Int64);
    WriteInt64(v);
  }
}

void TValueWriter::WriteExtended(long double v) {
  uint8_t b[10];
  EncodeExtended(v, b);
  WriteValueType(ValueType::Extended);
  WriteRaw(std::string_view(reinterpret_cast<const char*>(b), 10));
}

void TValueWriter::WriteString(std::string_view text) {
  if (text.size() <= 255) {
    WriteValueType(ValueType::String);
    WriteShortString(text);
  } else {
    WriteValueType(ValueType::LString);
    WriteInt32(static_cast<int32_t>(text.size()));
    WriteRaw(text);
  }
}

void TValueWriter::WriteUtf8String(std::string_view text) {
  // Converted straight into the output, with room for the longest form (three bytes per
  // byte); the length goes in front once it is known.
  WriteValueType(ValueType::Utf8String);
  const size_t lengthAt = out_.size();
  WriteInt32(0);
  const size_t at = out_.size();
  out_.resize(at + 3 * text.size());
  const size_t size =
      static_cast<size_t>(Cp1252ToUtf8Into(text, out_.data() + at) - (out_.data() + at));
  out_.resize(at + size);
  for (size_t i = 0; i < 4; ++i) out_[lengthAt + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
}

void TValueWriter::WriteWideString(std::string_view text) {
  std::u16string w = Cp1252ToUtf16(text);
  WriteValueType(ValueType::WString);
  WriteInt32(static_cast<int32_t>(w.size()));
  for (char16_t c : w) {
    WriteByte(c & 0xFF);
    WriteByte(c >> 8);
  }
}

void TValueWriter::WriteIdent(std::string_view name) {
  WriteValueType(ValueType::Ident);
  WriteShortString(name);
}

}  // namespace dz
