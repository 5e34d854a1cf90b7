#include "docdata/IntText.h"

#include "docdata/Exception.h"

namespace dz {

bool TryStrToInt(std::string_view text, int32_t& out) {
  out = 0;
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == n) return false;
  int64_t v = 0;
  for (; i < n; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  out = static_cast<int32_t>(v);
  return true;
}

int32_t StrToIntDef(std::string_view text, int32_t def) {
  int32_t v;
  return TryStrToInt(text, v) ? v : def;
}

int32_t StrToInt(std::string_view text) {
  int32_t v;
  if (!TryStrToInt(text, v))
    throw Exception("'" + std::string(text) + "' ist kein g\xFCltiger Integerwert");
  return v;
}

}  // namespace dz
