#pragma once
// The user-interface edge of the system's 8-bit text: Windows-1252 to QString and back.

#include <QString>
#include <string>
#include <string_view>

namespace dz {

QString ToQString(std::string_view cp1252);
// Characters without a Windows-1252 byte become '?'.
std::string FromQString(const QString& text);

}  // namespace dz
