#pragma once
// The host's open document, read from the JSON file the host writes on request.
//
// The document is an object whose member "Order" is an array with the order object
// first; the order object holds "Adress" (an array with the address object first) and
// "Parts" (the positions). Member names match ignoring ASCII letter case.
//
// Ownership: the object owns its tree; the references it hands out point into that tree
// and live until the next Load or the object's end. Lookups create missing members.
//
// Failures: Load raises what the lookups raise (the list-index error for a missing
// "Order" or "Adress" element, the value type error for a member of the wrong kind, and
// with the text-is-JSON flag the parse error). A missing, unreadable or broken file
// without a usable ".~json" file leaves the tree empty, so the lookups fail.

#include <array>
#include <string>
#include <string_view>

#include "docdata/DataGridLine.h"
#include "docdata/FastJSON.h"

namespace dz {

// The key names of the host's documents (also used when sending positions back).
extern const std::array<const char*, 3> kJsonTopLevelKeys;
extern const std::array<const char*, 44> kJsonAddressKeys;
extern const std::array<const char*, 27> kJsonOrderKeys;
extern const std::array<const char*, 20> kJsonPositionKeys;
// Document type names by type number 1 .. 13 (index 0 is type 1).
extern const std::array<const char*, 13> kDocumentTypeNames;

class TMVJSONObject {
 public:
  TMVJSONObject() = default;
  TMVJSONObject(const TMVJSONObject&) = delete;
  TMVJSONObject& operator=(const TMVJSONObject&) = delete;

  // `text` is the JSON itself when textIsJson is set, otherwise the path of the file.
  void Load(const std::string& text, bool textIsJson, bool tryBackup);

  bool IsValid() const { return order_ && address_ && positions_; }
  // "PrintName PrintUID AdressSmart", or "Invalid JSON Data" when not valid.
  const std::string& Caption() const { return caption_; }

  // Null until a Load has found them.
  TJsonValue* Order() const { return order_; }
  TJsonValue* Address() const { return address_; }
  TJsonArray* Positions() const { return positions_; }
  TFastJSON& Tree() { return tree_; }

  // The order's "UID" as text; "-1" (a document not saved yet) reads "Neu".
  std::string DocumentNumber() const;
  // The document date from the order's "Date" ("2024-03-01T12:30:00.000", read by
  // position) as days since 30 December 1899; 0 when empty or not a valid date and time.
  double Date() const;

  // Whether a member of the "Parts" array is a position (not a marker line).
  static bool IsPosition(TJsonValue& part);

 private:
  std::string caption_;
  TFastJSON tree_;
  TJsonValue* order_ = nullptr;
  TJsonValue* address_ = nullptr;
  TJsonArray* positions_ = nullptr;
};

// The position test on a kind text: trimmed of codes 0-32, empty is a position; a first
// character "-", "a", "t" or 0x81 marks a marker line (case matters).
bool IsPositionKind(std::string_view kind);

// Fills `line` from a member object of the "Parts" array: every key's value taken as text
// (missing keys give empty text; an object or array raises the value type error), the
// numbers normalised, DM false and Isnetto true. "CurrentRow", "Row" and "L2" are not read.
void FillLineFromPosition(TJsonValue& position, TDataGridLine& line);

// The date rule above, on the text itself.
double JsonDateToDateTime(std::string_view text);

}  // namespace dz
