#pragma once
// The in-memory result table of a remote query: named, typed fields, records held in
// memory, and a cursor over them.
//
// Ownership: the data set owns its field definitions, its field objects and its records.
// A TField reference from FieldByName/Fields stays valid until the field definitions are
// replaced (SetFieldDefsFromText, ClearFields) or the data set goes; it always reads the
// record under the cursor.
// Failures: FieldByName raises dz::Exception for an unknown name; AsInteger raises for a
// text that is no integer; LoadFromFile raises the reader's errors (see BinaryStreamFormat.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

// Field type codes as the host numbers them in its field lists. Codes outside this range
// may arrive too; they are kept and treated as text.
enum TFieldType : int {
  ftUnknown = 0,
  ftString = 1,
  ftSmallint = 2,
  ftInteger = 3,
  ftWord = 4,
  ftBoolean = 5,
  ftFloat = 6,
  ftCurrency = 7,
  ftBCD = 8,
  ftDate = 9,
  ftTime = 10,
  ftDateTime = 11,
  ftBytes = 12,
  ftVarBytes = 13,
  ftAutoInc = 14,
  ftBlob = 15,
  ftMemo = 16,
  ftGraphic = 17,
  ftFmtMemo = 18,
  ftParadoxOle = 19,
  ftDBaseOle = 20,
  ftTypedBinary = 21,
  ftCursor = 22,
  ftFixedChar = 23,
  ftWideString = 24,
  ftLargeint = 25,
  ftADT = 26,
  ftArray = 27,
  ftReference = 28,
  ftDataSet = 29,
};

// How the values of a field type are held in memory (and read from a record file).
enum class TValueKind {
  Integer,   // 2, 3, 4, 14: 32-bit integer
  Boolean,   // 5
  Float,     // 6
  Currency,  // 7, 8: 64-bit integer, value times 10,000
  DateTime,  // 9, 10, 11: days since 1899-12-30; 0 is null
  Largeint,  // 25: 64-bit integer
  WideText,  // 24: held as 8-bit text like every other text
  Text,      // everything else: 8-bit text or raw bytes
};
TValueKind ValueKindOf(int dataType);

struct TFieldDef {
  std::string Name;
  int DataType = ftUnknown;
  int Size = 0;
};

// One value of one record. Which member holds the value depends on the field's kind.
struct TFieldValue {
  bool Null = true;
  int64_t Int = 0;        // Integer, Boolean (0/1), Currency (x 10,000), Largeint
  long double Float = 0;  // Float, DateTime
  std::string Text;       // Text
};

class TVirtualDataSet;

class TField {
 public:
  const std::string& FieldName() const;
  int DataType() const;
  int Size() const;
  int Index() const { return static_cast<int>(index_); }

  // Values of the record under the cursor; without one (no records, or past the end)
  // every field reads as null.
  bool IsNull() const;
  // Integer kinds as they are; Boolean 0/1; numbers rounded; text converted as a decimal
  // integer (raises when it is none); 0 when null.
  int32_t AsInteger() const;
  // Text as stored (large objects as their raw bytes), numbers as decimal text with the
  // process-wide decimal separator, Booleans "True"/"False"; empty when null.
  std::string AsString() const;
  // AsString, but a text value is moved out of the record: it reads as empty afterwards.
  // For a reader that is the only one to need the value, and needs it long.
  std::string TakeString();
  // Days since 1899-12-30; numbers as they are; 0 when null or text.
  double AsDateTime() const;
  long double AsFloat() const;
  bool AsBoolean() const;

 private:
  friend class TVirtualDataSet;
  TField(TVirtualDataSet* owner, size_t index) : owner_(owner), index_(index) {}
  const TFieldValue* Current() const;

  TVirtualDataSet* owner_;
  size_t index_;
};

class TVirtualDataSet {
 public:
  TVirtualDataSet();
  ~TVirtualDataSet();
  TVirtualDataSet(const TVirtualDataSet&) = delete;
  TVirtualDataSet& operator=(const TVirtualDataSet&) = delete;

  // --- structure ---
  // Closes the set and removes all field definitions, fields and records.
  void ClearFields();
  void AddFieldDef(std::string name, int dataType, int size);
  // Field list text of the host: one line "name,type code,size" CR LF per field (fields
  // optionally in double quotes). A line named exactly "ID" with size 0 is a 32-bit
  // integer field whatever its type code says. A last line without its CR LF is not read.
  // Leaves the set open, with its fields and no records.
  void SetFieldDefsFromText(std::string_view text);

  // Creates the fields from the definitions (when not yet open); no records.
  void Open();
  // Drops the records; the field definitions stay.
  void Close();
  bool Active() const { return active_; }

  const std::vector<TFieldDef>& FieldDefs() const { return defs_; }
  size_t FieldCount() const { return fields_.size(); }
  TField& Fields(size_t index) { return *fields_.at(index); }
  // Names match without regard to case. FindField gives nullptr for an unknown name;
  // FieldByName raises "Das Feld '<name>' wurde nicht gefunden".
  TField* FindField(std::string_view name);
  TField& FieldByName(std::string_view name);

  // --- records ---
  // Reads a record file through the format object and appends its records; returns the
  // number read and puts the cursor on the first record. Raises on damaged or unreadable
  // files (messages in BinaryStreamFormat.h).
  int LoadFromFile(class TBinaryStreamFormat& format, const std::string& path);

  size_t RecordCount() const { return recordCount_; }
  void First() { cursor_ = 0; }
  void Next() {
    if (cursor_ < recordCount_) ++cursor_;
  }
  // True once the cursor has moved past the last record, and at once without records.
  // (Spelt Eof: EOF is a macro of the C library.)
  bool Eof() const { return cursor_ >= recordCount_; }
  size_t RecNo() const { return cursor_; }

  // Used by record readers: room for `extra` more records, a fresh all-null record at the
  // end (returns its values, FieldCount() of them), and removal of the last record.
  void ReserveRecords(size_t extra);
  TFieldValue* AppendRecord();
  void DropLastRecord();
  // Used by record readers once the last record is read whole: the observer, if any, is
  // called with the cursor on that record.
  void RecordComplete();

  // Called for every record as soon as it is read whole, while the rest of the file is
  // still being read; the cursor is on that record then. The observer must not raise.
  // A failure later in the file still fails the read.
  using RecordObserver = std::function<void(TVirtualDataSet&)>;
  void SetRecordObserver(RecordObserver observer) { observer_ = std::move(observer); }
  // Kinds of the fields in order, for readers.
  const std::vector<TValueKind>& Kinds() const { return kinds_; }

 private:
  friend class TField;
  const TFieldValue* CurrentValue(size_t field) const;

  std::vector<TFieldDef> defs_;
  std::vector<std::unique_ptr<TField>> fields_;
  std::vector<TValueKind> kinds_;
  std::vector<TFieldValue> values_;  // recordCount_ x FieldCount(), row after row
  size_t recordCount_ = 0;
  size_t cursor_ = 0;
  bool active_ = false;
  RecordObserver observer_;
};

}  // namespace dz
