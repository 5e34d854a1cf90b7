#include "tests/support/TempDir.h"

#include <stdexcept>

#include "docdata/NumberFormat.h"
#include "platform/Platform.h"

namespace dz::test {

TempDir::TempDir() {
  path_ = MakeUniqueFolder(TempPath(), "dz-test-");
  if (path_.empty()) throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  RemoveFolderTree(path_);
}

ScopedNumberFormat::ScopedNumberFormat(char decimal, char thousands) {
  oldDecimal_ = Fmt().DecimalSeparator;
  oldThousands_ = Fmt().ThousandSeparator;
  NumberFormat f = Fmt();
  f.DecimalSeparator = decimal;
  f.ThousandSeparator = thousands;
  SetNumberFormat(f);
}

ScopedNumberFormat::~ScopedNumberFormat() {
  NumberFormat f = Fmt();
  f.DecimalSeparator = oldDecimal_;
  f.ThousandSeparator = oldThousands_;
  SetNumberFormat(f);
}

}  // namespace dz::test
