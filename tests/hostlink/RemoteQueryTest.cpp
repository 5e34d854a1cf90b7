// Remote queries against a scripted host on a real socket: the request text, the result
// file's name and lifetime, and every way the answer can fail.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "hostlink/RemoteQuery.h"
#include "platform/Platform.h"
#include "tests/support/CommandServer.h"

namespace dz {
namespace {

using namespace dz::test;

const std::string kFieldList = "ID,14,0\r\nName,1,10\r\n";
// Two records: (7, "Tür") and (300, null).
const std::string kRecords = std::string("TPF0\x01", 5) + std::string("\x01\x02\x00", 3) +
                             std::string("\x08\x02\x07\x08\x06\x03T\xFCr\x00", 10) +
                             std::string("\x01\x02\x00", 3) +
                             std::string("\x08\x03\x2C\x01\x09\x00", 6) + std::string(1, '\0');

// What the host does with one "ANYQUERY": the result file to write (none when empty
// optional) and the answer.
struct HostReply {
  bool writeFile = true;
  std::string file;
  std::string answer;
  bool makeFifo = false;  // a result that exists but cannot be read
};

class RemoteQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCachedServerName("");
    ASSERT_TRUE(WriteWholeFile(ServerListFileName(), "Host\r\n"));
  }

  // Starts the host; it answers "DBPATH" with `dbPath` and "ANYQUERY" with `reply`.
  void StartHost(HostReply reply, std::string dbPath = "/daten/db") {
    auto state = state_;
    server_ = std::make_unique<ScriptedServer>(
        "Host",
        CommandScript([state, reply, dbPath](const std::string& command, const std::string& data) {
          std::string answer;
          if (command == "DBPATH") {
            answer = dbPath;
          } else if (command == "ANYQUERY") {
            std::string path = data.substr(data.rfind('\x08') + 1);
            if (reply.makeFifo)
              MakeFifo(path);
            else if (reply.writeFile)
              WriteWholeFile(path, reply.file);
            answer = reply.answer;
          }
          std::lock_guard<std::mutex> lock(state->mutex);
          state->commands.push_back(command);
          state->data.push_back(data);
          return answer;
        }));
  }

  struct State {
    std::mutex mutex;
    std::vector<std::string> commands, data;
  };
  std::vector<std::string> Commands() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->commands;
  }
  std::string QueryData() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->data.empty() ? "" : state_->data.back();
  }
  // The result file named in the last request.
  std::string ResultPath() {
    std::string d = QueryData();
    return d.substr(d.rfind('\x08') + 1);
  }

  ScopedTempFolder temp_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::unique_ptr<ScriptedServer> server_;
};

TEST_F(RemoteQuery, DeliversTheRecordsAndRemovesTheFile) {
  StartHost({true, kRecords, kFieldList});
  std::string error = "stale";
  auto ds = RunRemoteQuery("SELECT ID,Name FROM Auftraege where ID in (7,300)", "", error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(Commands(), (std::vector<std::string>{"DBPATH", "ANYQUERY"}));

  // Folder with its delimiter, the SQL unchanged, the format, a file in MVTempDir named
  // by the hash: decimal, at most 9 digits, no extension.
  const std::string path = ResultPath();
  EXPECT_EQ(QueryData(), AbsolutePath("/daten/db") + PathDelim +
                             "\x08SELECT ID,Name FROM Auftraege where ID in (7,300)\x08vds\x08" +
                             path);
  ASSERT_EQ(path.rfind(MVTempDir(), 0), 0u) << path;
  const std::string name = path.substr(MVTempDir().size());
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), 9u);
  EXPECT_EQ(name.find_first_not_of("0123456789"), std::string::npos) << name;
  EXPECT_FALSE(FileExists(path));

  ASSERT_TRUE(ds->Active());
  ASSERT_FALSE(ds->Eof());
  EXPECT_EQ(ds->FieldByName("id").AsInteger(), 7);
  EXPECT_EQ(ds->FieldByName("NAME").AsString(), "T\xFCr");
  ds->Next();
  EXPECT_EQ(ds->FieldByName("ID").AsInteger(), 300);
  EXPECT_TRUE(ds->FieldByName("Name").IsNull());
  ds->Next();
  EXPECT_TRUE(ds->Eof());
}

TEST_F(RemoteQuery, EachResultFileHasAFreshName) {
  StartHost({true, "", "ID,3,0\r\n"});
  std::string error;
  RunRemoteQuery("SELECT 1", "/db", error);
  const std::string first = ResultPath();
  auto ds = RunRemoteQuery("SELECT 1", "/db", error);
  EXPECT_NE(ResultPath(), first);
  // A 0-byte file is a result without records.
  EXPECT_EQ(error, "");
  EXPECT_TRUE(ds->Active());
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->FieldCount(), 1u);
}

TEST_F(RemoteQuery, GivenFolderIsSentAbsoluteWithItsDelimiter) {
  StartHost({true, "", ""});
  const std::string cwd = AbsolutePath("x");
  // "/daten/mand1" here; on Windows the working folder's drive goes in front.
  const std::string root = AbsolutePath(std::string(1, PathDelim) + "daten" + PathDelim + "mand1");
  const std::string rel = std::string("rel") + PathDelim + "db";
  struct {
    std::string folder, sent;
  } cases[] = {
      {root, root + PathDelim},
      {root + PathDelim, root + PathDelim},
      {rel, cwd.substr(0, cwd.size() - 1) + rel + PathDelim},
  };
  for (const auto& c : cases) {
    std::string error;
    RunRemoteQuery("SELECT 1", c.folder, error);
    EXPECT_EQ(QueryData().substr(0, QueryData().find('\x08')), c.sent) << c.folder;
  }
  EXPECT_EQ(Commands(), (std::vector<std::string>(3, "ANYQUERY")));
}

TEST_F(RemoteQuery, FailuresComeBackAsErrorText) {
  struct Case {
    const char* name;
    HostReply reply;
    std::string error;
  } cases[] = {
      {"host reports an error",
       {false, "", "no such table: Nichts"},
       "Error: no such table: Nichts"},
      {"host answers nothing", {false, "", ""}, "Error: Der IPC Server antwortet nicht"},
      {"damaged file",
       {true, "TPF0\x01\x06", kFieldList},
       "TXReader.EReadError: SInvalidPropertyValue: TXReader.CheckValue ValueType: 1 "
       "Stream.Size=6 At 5"},
      {"file cut short", {true, kRecords.substr(0, 20), kFieldList}, "SReadError"},
  };
  for (const auto& c : cases) {
    StartHost(c.reply);
    std::string error;
    auto ds = RunRemoteQuery("SELECT * FROM Nichts", "/db", error);
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_FALSE(FileExists(ResultPath())) << c.name;
    if (!c.reply.writeFile) {
      EXPECT_FALSE(ds->Active()) << c.name;
      EXPECT_EQ(ds->FieldCount(), 0u) << c.name;
    }
    server_.reset();
  }
}

TEST_F(RemoteQuery, UnreadableResultIsAnErrorNotAnEmptyResult) {
  // A FIFO is the one file that exists yet cannot be mapped; Windows has none in its
  // file system, so the case does not arise there.
  if (!PlatformHasFifos()) GTEST_SKIP() << "no FIFOs in this file system";
  StartHost({true, "", kFieldList, true});
  std::string error;
  auto ds = RunRemoteQuery("SELECT ID FROM Auftraege", "/db", error);
  EXPECT_EQ(error,
            "Error: Die Ergebnisdatei der Abfrage konnte nicht gelesen werden: " + ResultPath());
  EXPECT_FALSE(FileExists(ResultPath()));
}

TEST_F(RemoteQuery, NoHostAtAll) {
  std::string error;
  auto ds = RunRemoteQuery("SELECT 1", "/db", error);
  EXPECT_EQ(error, "Error: Der IPC Server antwortet nicht");
  EXPECT_FALSE(ds->Active());
}

}  // namespace
}  // namespace dz
