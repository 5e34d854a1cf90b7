#pragma once
// Adding positions to the host's open document without rewriting it: a light scanner
// finds the spans of JSON values by the same bracket and quote rules the host's reader
// splits by, and the new parts are inserted as text. Everything else in the document
// stays byte for byte as it was.
//
// Failures are values: the functions return false with a reason and change nothing.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dz::hostsim {

struct JsonSpan {
  std::size_t begin = 0;  // first character of the value
  std::size_t end = 0;    // one past its last character
};

// The value starting at `pos` (after blanks); false when there is none or it is unclosed.
bool ValueAt(std::string_view text, std::size_t pos, JsonSpan& value);

// The member values of the object at `object`, looked up by name ignoring ASCII case.
bool FindMember(std::string_view text, JsonSpan object, std::string_view name, JsonSpan& value);

// The element spans of the array at `array`.
bool Elements(std::string_view text, JsonSpan array, std::vector<JsonSpan>& elements);

// The texts of the parts of an import document: Order[0].Parts[*]. A document without
// parts gives an empty list.
bool ImportParts(std::string_view import, std::vector<std::string>& parts, std::string* error);

// Appends `parts` to Order[0].Parts of `document` (creating "Parts" when missing).
bool AppendParts(std::string& document, const std::vector<std::string>& parts, std::string* error);

}  // namespace dz::hostsim
