#pragma once
// The parts list ("Stückliste") that the host may keep in the `intern` field of a
// position, read the way the host writes it.
//
// The text after its first backspace (0x08), if there is one, holds records ended by CR,
// LF or NUL (a run of them is one break); the first empty record ends the list. A record
// holds up to 12 fields separated by ";": a field that begins with a double quote runs to
// the closing quote (two quotes inside stand for one; text between the closing quote and
// the next ";" is kept), any other field to the next ";". Every field is then unescaped:
// "%%" is "%", "%0" a NUL byte, "%c" CR, "%n" LF, "%" with any other character that
// character alone, and a "%" at the very end is dropped.
//
// The reader never raises; text that is no number counts as 0.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

constexpr size_t kPartsListFields = 12;
using PartsListRecord = std::array<std::string, kPartsListFields>;

// The unescaped fields of every record; fields a record lacks are empty.
std::vector<PartsListRecord> ReadPartsListRecords(std::string_view text);

// One part of a list: the fields the renderings use.
struct TPartsListPart {
  std::string Position;   // field 9
  long double Menge = 0;  // field 1, tolerant conversion with the process-wide format
  std::string Text;       // field 3
  std::string Nummer;     // field 5
  long double Preis = 0;  // field 6, like Menge
  long double Total() const { return Menge * Preis; }
};

std::vector<TPartsListPart> ReadPartsList(std::string_view text);

}  // namespace dz
