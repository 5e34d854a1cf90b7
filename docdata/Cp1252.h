#pragma once
// Windows-1252 text ("8-bit text") and its conversions at the edges of the system.
//
// The tables round-trip all 256 byte values: the five bytes that Windows-1252 leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control characters of the
// same value, as Windows does. Code points without a Windows-1252 byte become '?'.

#include <string>
#include <string_view>

#include "platform/Cp1252Codec.h"  // the byte <-> UTF-16 tables and conversions

namespace dz {

std::string Cp1252ToUtf8(std::string_view text);
// The byte length of the UTF-8 form, and the form written to `out`, which must have room
// for that many bytes (returns the end of what was written).
size_t Cp1252ToUtf8Size(std::string_view text);
char* Cp1252ToUtf8Into(std::string_view text, char* out);
// Invalid UTF-8 sequences become '?' per offending byte.
std::string Utf8ToCp1252(std::string_view text);
// The same into `out` (its text replaced; no more room is taken than `text` has bytes).
void Utf8ToCp1252(std::string_view text, std::string& out);
// The same written to `out`, which must have room for text.size() bytes; returns the end.
char* Utf8ToCp1252Into(std::string_view text, char* out);
// No byte from 0x80 on: the text reads the same in Windows-1252 and UTF-8.
bool IsAscii(std::string_view text);

// Windows-1252 letter casing (accented letters, Š/š, Œ/œ, Ž/ž, Ÿ/ÿ included; ß and µ
// have no single-byte counterpart and stay).
unsigned char LowerChar(unsigned char c);
// The 256-byte lower-casing table behind LowerChar, for loops over long texts.
const unsigned char* LowerTable();
unsigned char UpperChar(unsigned char c);
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);

// Case-insensitive equality under Windows-1252 casing.
bool SameText(std::string_view a, std::string_view b);

}  // namespace dz
