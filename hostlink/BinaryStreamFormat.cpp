#include "hostlink/BinaryStreamFormat.h"

#include <cmath>
#include <string_view>

#include "docdata/Exception.h"
#include "docdata/StreamValues.h"
#include "hostlink/VirtualDataSet.h"
#include "platform/MappedFile.h"
#include "platform/Platform.h"

namespace dz {

namespace {

// The record layout on top of the shared value tags; the texts of the failures are the
// ones the host's own reader gives, so that a message looks the same whoever reads.
class RecordReader {
 public:
  RecordReader(const uint8_t* data, size_t size)
      : r_(std::string_view(reinterpret_cast<const char*>(data), size), "SReadError") {}

  int Read(TVirtualDataSet& ds) {
    if (r_.Size() == 0) return 0;
    if (r_.ReadBytes(4) != "TPF0") throw Exception("TXReader.EReadError: SInvalidImage At 0");
    CheckValue(ValueType::List);
    ds.ReserveRecords(EstimateRecords(ds));
    const auto& kinds = ds.Kinds();
    int count = 0;
    while (r_.NextValueType() != ValueType::Null) {
      TFieldValue* rec = ds.AppendRecord();  // stays in place until the next append
      try {
        CheckValue(ValueType::List);
        while (r_.NextValueType() != ValueType::Null) {
          ReadInteger();  // the writer's group number, of no meaning here
          for (size_t i = 0; i < kinds.size(); ++i) ReadField(kinds[i], rec[i]);
        }
        CheckValue(ValueType::Null);
      } catch (...) {
        ds.DropLastRecord();
        throw;
      }
      ++count;
      ds.RecordComplete();
    }
    CheckValue(ValueType::Null);
    return count;
  }

 private:
  [[noreturn]] void Invalid(const std::string& readerText, size_t at) const {
    throw Exception("TXReader.EReadError: SInvalidPropertyValue: " + readerText +
                    std::to_string(r_.Size()) + " At " + std::to_string(at));
  }

  void CheckValue(ValueType expected) {
    size_t at = r_.Position();
    if (r_.ReadValueType() != expected)
      Invalid("TXReader.CheckValue ValueType: " + std::to_string(static_cast<int>(expected)) +
                  " Stream.Size=",
              at);
  }

  int32_t ReadInteger() {
    size_t at = r_.Position();
    ValueType t = r_.ReadValueType();
    int64_t v = 0;
    if (!IsIntegerTag(t) || !r_.ReadIntegerPayload(t, v))
      Invalid("TXReader.ReadInteger ReadValue invalid Stream.Size=", at);
    return static_cast<int32_t>(v);
  }

  // Floats also arrive as integers; anything else fails as an integer read would.
  long double ReadFloat() {
    const ValueType t = r_.NextValueType();
    if (t == ValueType::Extended) {
      r_.ReadValueType();
      long double v = 0;
      r_.ReadFloatPayload(t, v);
      return v;
    }
    if (t == ValueType::Int64) {
      r_.ReadValueType();
      int64_t v = 0;
      r_.ReadIntegerPayload(t, v);
      return static_cast<long double>(v);
    }
    return ReadInteger();
  }

  bool ReadBoolean() {
    size_t at = r_.Position();
    ValueType t = r_.ReadValueType();
    if (t != ValueType::False && t != ValueType::True)
      Invalid("TXReader.ReadBoolean Stream.Size=", at);
    return t == ValueType::True;
  }

  // Every text comes out as 8-bit text; Unicode forms are converted back byte for byte, so
  // a large object sent as UTF-8 or UTF-16 keeps all 256 byte values.
  std::string ReadString(const char* readerText) {
    size_t at = r_.Position();
    std::string out;
    if (!r_.ReadTextPayload(r_.ReadValueType(), out)) Invalid(readerText, at);
    return out;
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
    size_t at = r_.Position();
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
    size_t estimate = r_.Size() / perRecord;
    return estimate + estimate / 50;
  }

  TValueReader r_;
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
