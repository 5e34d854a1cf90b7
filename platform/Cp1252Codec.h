#pragma once
// The Windows-1252 <-> UTF-16 tables. They live this low because file and pipe names reach
// the operating system as UTF-16 on one platform; the text layer builds its other
// conversions on them.
//
// All 256 byte values round-trip: the five bytes Windows-1252 leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control characters of the same value, as Windows does.
// Code points without a Windows-1252 byte become '?'.

#include <string>
#include <string_view>

namespace dz {

char16_t Cp1252ToUnicode(unsigned char c);
// The byte for a code point, or -1 when Windows-1252 has none.
int UnicodeToCp1252(char32_t cp);

std::u16string Cp1252ToUtf16(std::string_view text);
std::string Utf16ToCp1252(std::u16string_view text);

}  // namespace dz
