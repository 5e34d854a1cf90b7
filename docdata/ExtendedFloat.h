#pragma once
// The 10-byte extended float of the stored formats (little-endian: 64-bit mantissa with
// explicit integer bit, then 15-bit exponent with the sign in the top bit), encoded and
// decoded by bit manipulation so that it works wherever `long double` is narrower too.

#include <cstdint>

namespace dz {

// Exact for every finite double; NaN and infinities keep their class.
void EncodeExtended(long double value, uint8_t out[10]);
long double DecodeExtended(const uint8_t in[10]);

}  // namespace dz
