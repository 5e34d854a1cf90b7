#include <gtest/gtest.h>

#include <string>

#include "platform/LocalPipe.h"
#include "platform/Platform.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

// The comparison the pipe client uses to accept only a server running as this user. A
// server of another user cannot be staged here: every process of a Wine prefix runs as the
// same user, and Wine answers GetNamedPipeServerProcessId and the token's user SID like
// Windows does, so the check passes there for our own servers and its refusal is tested
// through the comparison alone.
TEST(Platform, OnlyTheCurrentUserIsTheCurrentUser) {
  const std::string me = CurrentUserIdentity();
  ASSERT_FALSE(me.empty());
  const struct {
    std::string identity;
    bool same;
  } cases[] = {
      {me, true},
      {"", false},
      {me + "0", false},    // another user ID; another last part of a SID
      {"S-1-5-18", false},  // the system account (no number at all here)
      {"not an identity", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsCurrentUserIdentity(c.identity), c.same) << c.identity;
}

TEST(Platform, TheTempFolderFollowsItsVariable) {
  test::ScopedTempFolder temp;
  EXPECT_EQ(TempPath(), temp.path());
  std::string value;
  ASSERT_TRUE(ReadEnvironmentValue(TempFolderVariable(), value));
  ASSERT_TRUE(UnsetEnvironmentValue("DZ_PLATFORM_TEST"));
  EXPECT_FALSE(ReadEnvironmentValue("DZ_PLATFORM_TEST", value));
  ASSERT_TRUE(SetEnvironmentValue("DZ_PLATFORM_TEST", "\xE4\xF6\xFC\xDF"));
  EXPECT_TRUE(ReadEnvironmentValue("DZ_PLATFORM_TEST", value));
  EXPECT_EQ(value, "\xE4\xF6\xFC\xDF");
  UnsetEnvironmentValue("DZ_PLATFORM_TEST");
}

// Folder names with umlauts, as user names put them into the temporary folder.
TEST(Platform, FoldersAndFilesWithUmlauts) {
  test::TempDir dir;
  const std::string a = MakeUniqueFolder(dir.path(), "J\xFCrgen Wei\xDF-");
  const std::string b = MakeUniqueFolder(dir.path(), "J\xFCrgen Wei\xDF-");
  ASSERT_FALSE(a.empty());
  ASSERT_NE(a, b);
  const std::string deep = a + "\xE4" + PathDelim + "\xF6" + PathDelim;
  ASSERT_TRUE(MakeFolders(deep));
  ASSERT_TRUE(WriteWholeFile(deep + "\xFC.txt", "x"));
  ASSERT_TRUE(AppendToFile(deep + "\xFC.txt", "y"));
  std::string got;
  ASSERT_TRUE(ReadWholeFile(deep + "\xFC.txt", got));
  EXPECT_EQ(got, "xy");
  EXPECT_TRUE(IsRegularFile(deep + "\xFC.txt"));
  EXPECT_TRUE(IsDirectory(deep));
  EXPECT_TRUE(RemoveFolderTree(a));
  EXPECT_FALSE(FileExists(a));
}

TEST(Platform, PrivateFolders) {
  test::TempDir dir;
  const std::string mine = dir.path() + "mine";
  EXPECT_TRUE(EnsurePrivateDir(mine));
  EXPECT_TRUE(EnsurePrivateDir(mine));  // an existing private folder is accepted again
  ASSERT_TRUE(OpenFolderToOthers(mine, true));
  EXPECT_FALSE(EnsurePrivateDir(mine));
  ASSERT_TRUE(WriteWholeFile(dir.path() + "file", "x"));
  EXPECT_FALSE(EnsurePrivateDir(dir.path() + "file"));
}

TEST(Platform, ANameBeingServedCannotBeTakenOver) {
  test::ScopedTempFolder temp;
  PipeListener first, second;
  std::string error;
  ASSERT_TRUE(first.Listen("Taken", 2, &error)) << error;
  EXPECT_FALSE(second.Listen("Taken", 2, &error));
  EXPECT_NE(error.find("already"), std::string::npos) << error;
  EXPECT_EQ(TryConnectPipe("Free").status, ConnectStatus::Missing);
  ConnectResult c = TryConnectPipe("Taken");
  EXPECT_EQ(c.status, ConnectStatus::Connected);
}

}  // namespace
}  // namespace dz
