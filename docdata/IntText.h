#pragma once
// Whole decimal integers read from text, as the stored formats and the host write them:
// optional leading blanks, an optional sign, decimal digits, nothing after them, and a
// value within the 32-bit signed range.

#include <cstdint>
#include <string>
#include <string_view>

namespace dz {

// False (and out = 0) when the text is no such integer.
bool TryStrToInt(std::string_view text, int32_t& out);
// The integer, or `def` when the text is none.
int32_t StrToIntDef(std::string_view text, int32_t def);
// The integer; raises dz::Exception "'text' ist kein gültiger Integerwert" when it is none.
int32_t StrToInt(std::string_view text);

}  // namespace dz
