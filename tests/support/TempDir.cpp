#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "docdata/NumberFormat.h"
#include "platform/Platform.h"

namespace dz::test {

TempDir::TempDir() {
  std::string tmpl = TempPath() + "dz-test-XXXXXX";
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
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
