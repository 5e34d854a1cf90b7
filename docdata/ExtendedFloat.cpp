#include "docdata/ExtendedFloat.h"

#include <cmath>
#include <limits>

namespace dz {

void EncodeExtended(long double value, uint8_t out[10]) {
  uint64_t mant = 0;
  unsigned exp = 0;
  const bool neg = std::signbit(value);
  if (std::isnan(value)) {
    exp = 0x7FFF;
    mant = 0xC000000000000000ULL;
  } else if (std::isinf(value)) {
    exp = 0x7FFF;
    mant = 0x8000000000000000ULL;
  } else if (value != 0) {
    int e = 0;
    long double f = std::frexp(std::fabs(value), &e);  // f in [0.5, 1)
    // value = f * 2^e = (f * 2^64) * 2^(e-64); biased exponent of the integer bit is e-1.
    int biased = e - 1 + 16383;
    if (biased <= 0) {
      // Denormal in the extended format: the integer bit is clear, exponent field 0
      // stands for 2^-16382.
      long double m = std::ldexp(f, 64 - 1 + biased);
      mant = static_cast<uint64_t>(m);
      exp = 0;
    } else if (biased >= 0x7FFF) {
      exp = 0x7FFF;
      mant = 0x8000000000000000ULL;
    } else {
      // f * 2^64 lies in [2^63, 2^64) and converts exactly.
      mant = static_cast<uint64_t>(std::ldexp(f, 64));
      exp = static_cast<unsigned>(biased);
    }
  }
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(mant >> (8 * i));
  const unsigned se = exp | (neg ? 0x8000u : 0u);
  out[8] = static_cast<uint8_t>(se & 0xFF);
  out[9] = static_cast<uint8_t>(se >> 8);
}

long double DecodeExtended(const uint8_t in[10]) {
  uint64_t mant = 0;
  for (int i = 0; i < 8; ++i) mant |= static_cast<uint64_t>(in[i]) << (8 * i);
  const unsigned se = static_cast<unsigned>(in[8]) | (static_cast<unsigned>(in[9]) << 8);
  const bool neg = (se & 0x8000u) != 0;
  const int exp = static_cast<int>(se & 0x7FFFu);
  long double v;
  if (exp == 0x7FFF) {
    v = (mant << 1) == 0 ? std::numeric_limits<long double>::infinity()
                         : std::numeric_limits<long double>::quiet_NaN();
  } else {
    const int e = (exp == 0 ? 1 : exp) - 16383 - 63;
    v = std::ldexp(static_cast<long double>(mant), e);
  }
  return neg ? -v : v;
}

}  // namespace dz
