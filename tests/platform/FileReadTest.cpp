#include "platform/FileRead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

namespace fs = std::filesystem;

TEST(FileRead, OnlyRegularFilesWithinTheBound) {
  test::TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.file("ten"), "0123456789"));
  struct Case {
    std::string path;
    std::size_t bound;
    FileReadResult result;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {dir.file("ten"), 10, FileReadResult::Ok, "0123456789"},
      {dir.file("ten"), 9, FileReadResult::TooLarge, ""},
      {dir.path(), 10, FileReadResult::NotRegular, ""},
      {dir.file("missing"), 10, FileReadResult::CannotOpen, ""},
  };
  if (PlatformHasFifos()) {
    ASSERT_TRUE(MakeFifo(dir.file("fifo")));
    cases.push_back({dir.file("fifo"), 10, FileReadResult::NotRegular, ""});  // would block
    fs::create_symlink("/dev/zero", dir.file("zero"));
    cases.push_back({dir.file("zero"), 10, FileReadResult::NotRegular, ""});  // never ends
  } else {
    // Windows has no FIFOs in the file system; its devices answer to reserved names.
    cases.push_back({"NUL", 10, FileReadResult::NotRegular, ""});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string out = "old";
    EXPECT_EQ(ReadRegularFile(c.path, c.bound, out), c.result);
    EXPECT_EQ(out, c.bytes);
  }
}

TEST(FileRead, LiesInFolderByRealLocation) {
  test::TempDir dir, other;
  fs::create_directories(dir.file("sub"));
  struct Case {
    std::string path;
    bool inside;
  };
  std::vector<Case> cases = {
      {dir.file("a.json"), true},
      {dir.file("sub/a.json"), true},
      {dir.file("sub/../../a.json"), false},
      {other.file("a.json"), false},
      {dir.file("missing/a.json"), false},
  };
  // Making links needs a privilege on Windows that a test cannot count on.
  std::error_code linkError;
  fs::create_directory_symlink(other.path(), dir.file("link"), linkError);
  if (!linkError) cases.push_back({dir.file("link/a.json"), false});  // leads out
  for (const Case& c : cases) EXPECT_EQ(LiesInFolder(c.path, dir.path()), c.inside) << c.path;
}

}  // namespace
}  // namespace dz
