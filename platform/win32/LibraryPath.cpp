#include "platform/LibraryPath.h"

#include "platform/Cp1252Codec.h"

namespace dz {

std::string LibraryPath(const std::string& path) {
  // Every Windows-1252 character lies in the Basic Multilingual Plane: one to three bytes.
  std::string out;
  out.reserve(path.size() + path.size() / 2);
  for (char16_t c : Cp1252ToUtf16(path)) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace dz
