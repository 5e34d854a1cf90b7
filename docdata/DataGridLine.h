#pragma once
// One position of a document (TDataGridLine): 24 fields in a fixed order, quantities and
// amounts as text exactly as stored. Lines live in a TCustomDataGridLines collection
// (DataGridLines.h), which owns them, or stand alone (owner null, owned by whoever
// created them).

#include <cstdint>
#include <string>

#include "docdata/ComponentStream.h"

namespace dz {

class TDataGridLine : public Persistent {
 public:
  explicit TDataGridLine(Collection* owner = nullptr) : owner_(owner) {}
  // Copies the fields; the copy belongs to no collection.
  TDataGridLine(const TDataGridLine& other);
  TDataGridLine& operator=(const TDataGridLine& other);  // fields only, keeps the owner

  std::string Stueck;
  std::string Einheit;
  std::string Bezeichnung1;
  std::string Bezeichnung2;
  std::string BestellNummer;
  std::string Seriennummer;
  std::string Artikelnummer;
  std::string Einzelbetrag;
  std::string Steuer;
  std::string SummeBetrag;
  std::string intern;
  std::string ID_Artikel;
  std::string Rabatt;
  std::string Second;  // long text, lines joined by CR LF
  bool DM = false;
  std::string TypeLine;  // first character = row kind
  bool Isnetto = false;
  std::string User;
  int32_t Row = 0;
  std::string Rows;
  std::string Hash;
  std::string Pos;
  std::string ExtraData;
  std::string L2;

  Collection* Owner() const { return owner_; }

  std::string_view ClassName() const override { return "TDataGridLine"; }
  std::span<const PropInfo> Properties() const override;
  PropRef Property(size_t index) override;
  // From a TDataGridLine: all 24 fields, the owning collection (if any) held in an update
  // for the duration, also when the copy fails. Any other source: the assignment error.
  void Assign(const Persistent& source) override;

  // Field-by-field equality of the 24 fields.
  bool SameFields(const TDataGridLine& other) const;

 private:
  void CopyFields(const TDataGridLine& source);
  Collection* owner_;
};

// The published properties of a line, in order (TDataGridLine::Properties).
std::span<const PropInfo> LineProperties();

// Number normalisation of a line: Stueck, Einzelbetrag, Steuer, SummeBetrag and Rabatt are
// trimmed of codes 0-32 and every "." and "," becomes the process-wide decimal separator.
// Idempotent.
void NormalizeLineNumbers(TDataGridLine& line);

// The row kind of a kind text as stored tables take it: its first character, or empty
// when the text is empty or starts with a blank or control character (code 32 or less).
std::string RowKindOf(std::string_view kindText);
// A marker row (not a position): the kind is exactly "a", "t", "-" or the byte 0x81.
bool IsMarkerKind(std::string_view kind);

}  // namespace dz
