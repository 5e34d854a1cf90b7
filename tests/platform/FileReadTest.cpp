#include "platform/FileRead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/Platform.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

namespace fs = std::filesystem;

TEST(FileRead, OnlyRegularFilesWithinTheBound) {
  test::TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.file("ten"), "0123456789"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.file("zero"));
  struct Case {
    std::string path;
    std::size_t bound;
    FileReadResult result;
    std::string bytes;
  };
  const Case cases[] = {
      {dir.file("ten"), 10, FileReadResult::Ok, "0123456789"},
      {dir.file("ten"), 9, FileReadResult::TooLarge, ""},
      {dir.file("fifo"), 10, FileReadResult::NotRegular, ""},  // would block a plain open
      {dir.file("zero"), 10, FileReadResult::NotRegular, ""},  // would never end
      {dir.path(), 10, FileReadResult::NotRegular, ""},
      {dir.file("missing"), 10, FileReadResult::CannotOpen, ""},
  };
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
  fs::create_directory_symlink(other.path(), dir.file("link"));
  struct Case {
    std::string path;
    bool inside;
  };
  const Case cases[] = {
      {dir.file("a.json"), true},
      {dir.file("sub/a.json"), true},
      {dir.file("sub/../../a.json"), false},
      {dir.file("link/a.json"), false},  // a folder inside that leads out
      {other.file("a.json"), false},
      {dir.file("missing/a.json"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(LiesInFolder(c.path, dir.path()), c.inside) << c.path;
}

}  // namespace
}  // namespace dz
