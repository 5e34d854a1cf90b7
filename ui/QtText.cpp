#include "ui/QtText.h"

#include "docdata/Cp1252.h"

namespace dz {

QString ToQString(std::string_view cp1252) {
  return QString::fromStdU16String(Cp1252ToUtf16(cp1252));
}

std::string FromQString(const QString& text) {
  return Utf16ToCp1252(text.toStdU16String());
}

}  // namespace dz
