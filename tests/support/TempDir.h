#pragma once
// A temporary folder for one test, removed with everything in it when the object goes.

#include <string>

namespace dz::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder with a trailing delimiter.
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Sets the number format for the lifetime of the object and restores the previous one.
class ScopedNumberFormat {
 public:
  explicit ScopedNumberFormat(char decimal = ',', char thousands = '.');
  ~ScopedNumberFormat();

 private:
  char oldDecimal_, oldThousands_;
};

}  // namespace dz::test
