#include "hostlink/BinaryStreamFormat.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "docdata/Cp1252.h"
#include "docdata/Exception.h"
#include "docdata/ExtendedFloat.h"
#include "hostlink/VirtualDataSet.h"
#include "platform/MappedFile.h"
#include "platform/Platform.h"

namespace dz {

namespace {

enum : uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaFalse = 8,
  vaTrue = 9,
  vaLString = 12,
  vaWString = 18,
  vaInt64 = 19,
  vaUTF8String = 20,
};

class RecordReader {
 public:
  RecordReader(const uint8_t* data, size_t size) : d_(data), n_(size) {}

  int Read(TVirtualDataSet& ds) {
    if (n_ == 0) return 0;
    Need(4);
    if (std::memcmp(d_, "TPF0", 4) != 0) throw Exception("TXReader.EReadError: SInvalidImage At 0");
    pos_ = 4;
    CheckValue(vaList);
    ds.ReserveRecords(EstimateRecords(ds));
    const auto& kinds = ds.Kinds();
    int count = 0;
    while (Peek() != vaNull) {
      TFieldValue* rec = ds.AppendRecord();  // stays in place until the next append
      try {
        CheckValue(vaList);
        while (Peek() != vaNull) {
          ReadInteger();  // the writer's group number, of no meaning here
          for (size_t i = 0; i < kinds.size(); ++i) ReadField(kinds[i], rec[i]);
        }
        CheckValue(vaNull);
      } catch (...) {
        ds.DropLastRecord();
        throw;
      }
      ++count;
    }
    CheckValue(vaNull);
    return count;
  }

 private:
  [[noreturn]] static void PastEnd() { throw Exception("SReadError"); }

  [[noreturn]] void Invalid(const std::string& readerText, size_t at) const {
    throw Exception("TXReader.EReadError: SInvalidPropertyValue: " + readerText +
                    std::to_string(n_) + " At " + std::to_string(at));
  }

  void Need(size_t k) const {
    if (k > n_ - pos_) PastEnd();
  }
  uint8_t Byte() {
    Need(1);
    return d_[pos_++];
  }
  uint8_t Peek() const {
    Need(1);
    return d_[pos_];
  }
  uint64_t Unsigned(size_t bytes) {
    Need(bytes);
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= uint64_t{d_[pos_ + i]} << (8 * i);
    pos_ += bytes;
    return v;
  }
  std::string_view Bytes(uint64_t count) {
    if (count > n_ - pos_) PastEnd();
    std::string_view v(reinterpret_cast<const char*>(d_ + pos_), static_cast<size_t>(count));
    pos_ += static_cast<size_t>(count);
    return v;
  }

  void CheckValue(uint8_t expected) {
    size_t at = pos_;
    if (Byte() != expected)
      Invalid("TXReader.CheckValue ValueType: " + std::to_string(expected) + " Stream.Size=", at);
  }

  int32_t ReadInteger() {
    size_t at = pos_;
    switch (Byte()) {
      case vaInt8:
        return static_cast<int8_t>(Unsigned(1));
      case vaInt16:
        return static_cast<int16_t>(Unsigned(2));
      case vaInt32:
        return static_cast<int32_t>(Unsigned(4));
      default:
        Invalid("TXReader.ReadInteger ReadValue invalid Stream.Size=", at);
    }
  }

  // Floats also arrive as integers; anything else fails as an integer read would.
  long double ReadFloat() {
    switch (Peek()) {
      case vaExtended: {
        ++pos_;
        Need(10);
        long double v = DecodeExtended(d_ + pos_);
        pos_ += 10;
        return v;
      }
      case vaInt64:
        ++pos_;
        return static_cast<long double>(static_cast<int64_t>(Unsigned(8)));
      default:
        return ReadInteger();
    }
  }

  bool ReadBoolean() {
    size_t at = pos_;
    switch (Byte()) {
      case vaFalse:
        return false;
      case vaTrue:
        return true;
      default:
        Invalid("TXReader.ReadBoolean Stream.Size=", at);
    }
  }

  // Every text comes out as 8-bit text; Unicode forms are converted back byte for byte, so
  // a large object sent as UTF-8 or UTF-16 keeps all 256 byte values.
  std::string ReadString(const char* readerText) {
    size_t at = pos_;
    switch (Byte()) {
      case vaString:
        return std::string(Bytes(Unsigned(1)));
      case vaLString:
        return std::string(Bytes(Unsigned(4)));
      case vaUTF8String:
        return Utf8ToCp1252(Bytes(Unsigned(4)));
      case vaWString: {
        std::string_view raw = Bytes(Unsigned(4) * 2);
        std::u16string units(raw.size() / 2, u'\0');
        for (size_t i = 0; i < units.size(); ++i)
          units[i] = static_cast<char16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                           static_cast<uint8_t>(raw[2 * i + 1]) << 8);
        return Utf16ToCp1252(units);
      }
      default:
        Invalid(readerText, at);
    }
  }

  // A float rounded to a 64-bit integer; a value no such integer holds is a damaged file.
  int64_t RoundToInt64(long double v, size_t at) {
    v = std::nearbyint(v);
    if (!(v >= -9223372036854775808.0L && v < 9223372036854775808.0L))
      Invalid("TXReader.ReadFloat value out of range Stream.Size=", at);
    return static_cast<int64_t>(v);
  }

  void ReadField(TValueKind kind, TFieldValue& f) {
    if (ReadBoolean()) {  // null flag
      f.Null = true;
      f.Int = 0;
      f.Float = 0;
      f.Text.clear();
      return;
    }
    f.Null = false;
    size_t at = pos_;
    switch (kind) {
      case TValueKind::Integer:
        f.Int = ReadInteger();
        break;
      case TValueKind::Boolean:
        f.Int = ReadBoolean() ? 1 : 0;
        break;
      case TValueKind::Float:
        f.Float = ReadFloat();
        break;
      case TValueKind::Currency:
        f.Int = RoundToInt64(ReadFloat() * 10000, at);
        break;
      case TValueKind::DateTime:
        f.Float = ReadFloat();
        // The host writes an empty date as 0.
        if (f.Float == 0) f.Null = true;
        break;
      case TValueKind::Largeint:
        f.Int = RoundToInt64(ReadFloat(), at);
        break;
      case TValueKind::Text:
        f.Text = ReadString("TXReader.ReadString ReadValue invalid Stream.Size=");
        break;
      case TValueKind::WideText:
        f.Text = ReadString("TXReader.ReadWideString ReadValue invalid Stream.Size=");
        break;
    }
  }

  // Room for the records the file probably holds, from a typical size of a record on file;
  // erring towards fewer keeps a small damaged file from reserving much.
  size_t EstimateRecords(const TVirtualDataSet& ds) const {
    size_t perRecord = 4;
    for (size_t i = 0; i < ds.FieldCount(); ++i) {
      switch (ds.Kinds()[i]) {
        case TValueKind::Integer:
          perRecord += 4;
          break;
        case TValueKind::Boolean:
          perRecord += 2;
          break;
        case TValueKind::Text:
        case TValueKind::WideText: {
          int size = ds.FieldDefs()[i].Size;
          perRecord += 3 + static_cast<size_t>(size > 0 && size < 256 ? size : 16);
          break;
        }
        default:
          perRecord += 12;
          break;
      }
    }
    size_t estimate = n_ / perRecord;
    return estimate + estimate / 50;
  }

  const uint8_t* d_;
  size_t n_;
  size_t pos_ = 0;
};

}  // namespace

int TBinaryStreamFormat::LoadFromBytes(TVirtualDataSet& dataSet, const uint8_t* data, size_t size) {
  dataSet.Open();
  return RecordReader(data, size).Read(dataSet);
}

int TBinaryStreamFormat::LoadFromFile(TVirtualDataSet& dataSet, const std::string& path) {
  MappedFile file;
  // The host may still hold the file for a moment after answering.
  for (int attempt = 1;; ++attempt) {
    if (file.Open(path)) break;
    // Reading nothing would pass for a result without records; the caller must learn that
    // the host's answer was lost instead.
    if (attempt >= OpenAttempts)
      throw Exception("Error: Die Ergebnisdatei der Abfrage konnte nicht gelesen werden: " + path);
    SleepMs(OpenPauseMs);
  }
  return LoadFromBytes(dataSet, file.Data(), file.Size());
}

}  // namespace dz
