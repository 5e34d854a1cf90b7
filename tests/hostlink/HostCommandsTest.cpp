#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "docdata/Cp1252.h"
#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "platform/Platform.h"
#include "tests/support/HostsimProcess.h"
#include "tests/support/ScriptedServer.h"

namespace dz {
namespace {

using namespace dz::test;
namespace fs = std::filesystem;

class HostCommands : public ::testing::Test {
 protected:
  void SetUp() override { SetCachedServerName(""); }
  void TearDown() override { SetCachedServerName(""); }

  void WriteList(const std::string& text) {
    ASSERT_TRUE(WriteWholeFile(ServerListFileName(), text));
  }

  ScopedTempFolder temp_;
};

// What a request carries, built by hand from the message format.
std::string Request(std::u16string_view command, std::int32_t index, std::u16string_view data,
                    bool sync) {
  std::string store = TextEntry(u"COMMAND", command) + Entry(u"INDEX", Int32LE(index));
  if (!data.empty()) store += TextEntry(u"DATA", data);
  if (sync) store += Entry(u"SYNC", "\x01");
  return WireMessage(store);
}

std::string Reply(std::u16string_view data) {
  return WireMessage(TextEntry(u"DATA", data));
}

// A scripted server that records each request and answers each with the next reply
// (the last one again when they run out). The n-th connection with an entry in `cuts`
// gets only that many bytes of its reply, and the server closes.
struct Recorded {
  std::mutex mutex;
  std::vector<std::string> requests;
};

std::unique_ptr<ScriptedServer> Serve(const std::string& name, std::shared_ptr<Recorded> rec,
                                      std::vector<std::string> replies,
                                      std::vector<std::size_t> cuts = {}) {
  auto count = std::make_shared<std::size_t>(0);
  return std::make_unique<ScriptedServer>(name, [=](ByteChannel& peer) {
    std::string request = ReadRawRequest(peer);
    std::size_t n = (*count)++;
    {
      std::lock_guard<std::mutex> lock(rec->mutex);
      rec->requests.push_back(request);
    }
    const std::string& reply = replies[std::min(n, replies.size() - 1)];
    if (n < cuts.size()) {  // send a part only, and close
      WriteAll(peer, reply.data(), std::min(cuts[n], reply.size()));
      return;
    }
    WriteAll(peer, reply.data(), reply.size());
    ReadUntilClosed(peer);
  });
}

TEST_F(HostCommands, TempFolderMustBePrivate) {
  const std::string dir = temp_.path() + "MVTempDir";
  EXPECT_EQ(MVTempDir(), dir + PathDelim);
  EXPECT_EQ(MVTempDir(), dir + PathDelim);  // what it made passes its own check
  EXPECT_EQ(ServerListFileName(), dir + PathDelim + "MVX-EXCHANGELOCALSERVICE.TXT");

  struct Case {
    const char* what;
    std::function<bool()> spoil;  // false: cannot be staged on this system
  };
  const std::vector<Case> cases = {
      {"writable by the group",
       [&] { return fs::create_directory(dir) && OpenFolderToOthers(dir, false); }},
      {"writable by others",
       [&] { return fs::create_directory(dir) && OpenFolderToOthers(dir, true); }},
      {"a file", [&] { return WriteWholeFile(dir, "x"); }},
      {"a link to a private folder",
       [&] {
         // Links need a privilege on Windows, and Wine does not make them at all.
         std::error_code ec;
         EnsurePrivateDir(temp_.path() + "elsewhere");
         fs::create_directory_symlink(temp_.path() + "elsewhere", dir, ec);
         return !ec;
       }},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir);
    if (!c.spoil()) continue;
    EXPECT_EQ(MVTempDir(), "") << c.what;
    EXPECT_EQ(ServerListFileName(), "") << c.what;
    EXPECT_EQ(ReadServerList(), "") << c.what;
    EXPECT_EQ(ReadIPCValueSync("DBPATH", ""), "") << c.what;
    fs::remove_all(dir);
  }
}

TEST_F(HostCommands, MissingParentsOfTheTempFolderAreCreated) {
  const std::string deeper = temp_.path() + "a" + PathDelim + "b" + PathDelim;
  SetEnvironmentValue(TempFolderVariable(), deeper);
  EXPECT_EQ(MVTempDir(), deeper + "MVTempDir" + PathDelim);
  SetEnvironmentValue(TempFolderVariable(), temp_.path());
}

TEST_F(HostCommands, ServerListLines) {
  struct Case {
    const char* what;
    const char* text;  // nullptr: no file
    std::string first;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"no file", nullptr, "", {}},
      {"empty file", "", "", {}},
      {"CR LF", "SrvA\r\nSrvB\r\n", "SrvA", {"SrvA", "SrvB"}},
      {"LF, no final line end", "SrvA\nSrvB", "SrvA", {"SrvA", "SrvB"}},
      {"empty first line", "\r\nSrvB\r\n", "", {"", "SrvB"}},
  };
  for (const auto& c : cases) {
    std::remove(ServerListFileName().c_str());
    if (c.text) WriteList(c.text);
    std::vector<std::string> lines = {"old"};
    EXPECT_EQ(ReadServerList(&lines), c.first) << c.what;
    EXPECT_EQ(lines, c.lines) << c.what;
  }
}

// A list that is no regular file would block the open (FIFO) or never end (device); no
// retrying makes it readable, so it is refused at once.
TEST_F(HostCommands, AServerListThatIsNoFileIsRefusedAtOnce) {
  // Windows has neither FIFOs nor device links in a folder; its devices are refused by the
  // same check, which the file-read test tries with a device name.
  if (!PlatformHasFifos()) GTEST_SKIP() << "no FIFOs or device links on this system";
  const std::string list = ServerListFileName();
  for (int fifo = 0; fifo < 2; ++fifo) {
    std::remove(list.c_str());
    if (fifo)
      ASSERT_TRUE(MakeFifo(list));
    else
      std::filesystem::create_symlink("/dev/zero", list);
    const double start = MonotonicSeconds();
    try {
      ReadServerList();
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find("ist keine gew\xF6hnliche Datei"), std::string::npos)
          << e.what();
    }
    EXPECT_LT(MonotonicSeconds() - start, 1.0);
  }
  std::remove(list.c_str());
}

TEST(HostCommandsSplit, SplitAtCharacter8) {
  struct Case {
    std::string text;
    std::vector<std::string> parts;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"SrvA", {"SrvA"}},
      {"SrvA\b4711", {"SrvA", "4711"}},
      {"A\b7\b", {"A", "7"}},
      {"A\b\b7", {"A", "", "7"}},
      {"\bA", {"", "A"}},
      {"A\b7\bx", {"A", "7", "x"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitAt(c.text, '\b'), c.parts) << c.text;
}

TEST_F(HostCommands, RequestsCarryTheirValuesInOrder) {
  auto rec = std::make_shared<Recorded>();
  auto server = Serve("SrvA", rec, {Reply(u"C:\\daten")});
  WriteList("SrvA\r\nSrvB\r\n");

  EXPECT_EQ(ReadIPCValueSync("GETJSON", ""), "C:\\daten");
  EXPECT_EQ(ReadIPCValueSync("ANYQUERY", "F\bSELECT \xC4"), "C:\\daten");
  bool answered = false;
  EXPECT_EQ(ReadIPCValueFrom("SERVERPROCESS", "SrvA", "", &answered), "C:\\daten");
  EXPECT_TRUE(answered);
  EXPECT_TRUE(WriteIPCValueASync("{\"Order\":[]}", 11, "OUTDATA"));
  ASSERT_TRUE(server->WaitServed(4));

  std::lock_guard<std::mutex> lock(rec->mutex);
  ASSERT_EQ(rec->requests.size(), 4u);
  EXPECT_EQ(rec->requests[0], Request(u"GETJSON", -1, u"", true));
  EXPECT_EQ(rec->requests[1], Request(u"ANYQUERY", -1, u"F\bSELECT \u00c4", true));
  EXPECT_EQ(rec->requests[2], Request(u"SERVERPROCESS", -1, u"", true));
  EXPECT_EQ(rec->requests[3], Request(u"OUTDATA", 11, u"{\"Order\":[]}", false));
}

TEST_F(HostCommands, CachedNameWinsOverTheList) {
  auto recA = std::make_shared<Recorded>();
  auto recB = std::make_shared<Recorded>();
  auto a = Serve("SrvA", recA, {Reply(u"A")});
  auto b = Serve("SrvB", recB, {Reply(u"B")});
  WriteList("SrvA\r\nSrvB\r\n");
  EXPECT_EQ(ReadIPCValueSync("DBPATH", ""), "A");
  SetCachedServerName("SrvB");
  EXPECT_EQ(GetCachedServerName(), "SrvB");
  EXPECT_EQ(ReadIPCValueSync("DBPATH", ""), "B");
  EXPECT_TRUE(WriteIPCValueASync("x", 11, "OUTDATA"));
  ASSERT_TRUE(b->WaitServed(2));
  // The server counts an exchange after its farewell, which may come after our answer.
  ASSERT_TRUE(a->WaitServed(1));
  EXPECT_EQ(a->Served(), 1);
}

TEST_F(HostCommands, AttemptsAndTheirAnswers) {
  const std::string good = Reply(u"gut");
  // Announces more data than it sends, but the "DATA" entry is complete.
  const std::string partial = Int64LE(0) + Int64LE(1000) + TextEntry(u"DATA", u"halb");
  struct Case {
    const char* what;
    std::vector<std::string> replies;
    std::vector<std::size_t> cuts;
    std::string syncAnswer;
    int syncConnections;
  };
  const std::vector<Case> cases = {
      {"answered at once", {good}, {}, "gut", 1},
      {"answered at the third attempt", {good}, {3, 20}, "gut", 3},
      {"never complete: the last attempt's DATA", {partial}, {}, "halb", 3},
      {"never anything", {good}, {0, 0, 0}, "", 3},
  };
  for (const auto& c : cases) {
    auto rec = std::make_shared<Recorded>();
    std::vector<std::size_t> cuts = c.cuts;
    if (c.replies[0] == partial) cuts = {partial.size(), partial.size(), partial.size()};
    auto server = Serve("Srv", rec, c.replies, cuts);
    SetCachedServerName("Srv");
    EXPECT_EQ(ReadIPCValueSync("DBPATH", ""), c.syncAnswer) << c.what;
    ASSERT_TRUE(server->WaitServed(c.syncConnections)) << c.what;
    EXPECT_EQ(server->Served(), c.syncConnections) << c.what;
  }
}

TEST_F(HostCommands, AsyncWriteReportsWhetherItArrived) {
  auto rec = std::make_shared<Recorded>();
  {
    auto server = Serve("Srv", rec, {Reply(u"")}, {4});
    SetCachedServerName("Srv");
    EXPECT_TRUE(WriteIPCValueASync("{}", 11, "OUTDATA"));  // the second attempt arrives
    ASSERT_TRUE(server->WaitServed(2));
    EXPECT_FALSE(WriteIPCValueASync("", 11, "OUTDATA"));  // empty: nothing is sent
    EXPECT_EQ(server->Served(), 2);
  }
  {
    auto server = Serve("Srv", rec, {Reply(u"")}, {0, 0, 0});
    EXPECT_FALSE(WriteIPCValueASync("{}", 11, "OUTDATA"));
    ASSERT_TRUE(server->WaitServed(3));
  }
  SetCachedServerName("Nobody");
  EXPECT_FALSE(WriteIPCValueASync("{}", 11, "OUTDATA"));
}

TEST_F(HostCommands, NoHostAtAllGivesEmptyAnswers) {
  EXPECT_EQ(ReadIPCValueSync("GETJSON", ""), "");
  WriteList("Gone\r\n");
  EXPECT_EQ(ReadIPCValueSync("GETJSON", ""), "");
  EXPECT_EQ(DetectHostServer(), "");
  EXPECT_EQ(GetCachedServerName(), "");
}

// Discovery against real hostsim processes.
class DetectHost : public HostCommands {
 protected:
  std::unique_ptr<HostsimProcess> Start(const std::string& name, int processId,
                                        bool isDefault = false) {
    HostsimOptions o;
    o.name = name;
    o.dir = temp_.path();
    o.document = temp_.path() + name + ".json";
    o.processId = processId;
    o.isDefault = isDefault;
    return std::make_unique<HostsimProcess>(o);
  }
  std::string Owner() { return std::string(ReadIPCValueSync("SERVERPROCESS", "")); }
  // Windows always names the process that started this one; under Wine a process started
  // from a Unix shell (as the test runner is) has parent 0. With no parent no server is
  // asked at all, which is what these tests then check; the demo run, whose program is a
  // child of a server, covers finding the parent's server there.
  bool NoParent() {
    if (parent_ != 0) return false;
    EXPECT_EQ(DetectHostServer(), "");
    EXPECT_EQ(GetCachedServerName(), "");
    return true;
  }
  const int parent_ = ParentProcessId();
  const int stranger_ = ParentProcessId() + 100000;
};

TEST_F(DetectHost, TheServerOfOurParentIsChosenEvenWhenNotFirst) {
  auto a = Start("SrvA", stranger_, true);
  auto b = Start("SrvB", parent_);
  auto c = Start("SrvC", stranger_ + 1);
  std::vector<std::string> lines;
  EXPECT_EQ(ReadServerList(&lines), "SrvA");
  EXPECT_EQ(lines, (std::vector<std::string>{"SrvA", "SrvB", "SrvC"}));
  if (NoParent()) return;
  EXPECT_EQ(DetectHostServer(), "SrvB");
  EXPECT_EQ(GetCachedServerName(), "SrvB");
  EXPECT_EQ(Owner(), "SrvB\b" + std::to_string(parent_));
}

TEST_F(DetectHost, TwoAnsweringWithoutAMatchKeepTheFirstLine) {
  auto a = Start("SrvA", stranger_, true);
  auto b = Start("SrvB", stranger_ + 1);
  EXPECT_EQ(DetectHostServer(), "");
  EXPECT_EQ(GetCachedServerName(), "");
  EXPECT_EQ(Owner(), "SrvA\b" + std::to_string(stranger_));
}

TEST_F(DetectHost, TheOnlyAnsweringServerWinsWhenTheFirstLineIsSilent) {
  auto b = Start("SrvB", stranger_);
  WriteList("Silent\r\nSrvB\r\n");
  if (NoParent()) return;
  EXPECT_EQ(DetectHostServer(), "SrvB");
  EXPECT_EQ(GetCachedServerName(), "SrvB");
}

TEST_F(DetectHost, TheOnlyAnsweringServerLosesWhenTheFirstLineAnswers) {
  auto a = Start("SrvA", stranger_, true);
  EXPECT_EQ(DetectHostServer(), "");
  EXPECT_EQ(GetCachedServerName(), "");
}

TEST_F(DetectHost, OddAnswersNeverMatch) {
  const std::string p = std::to_string(parent_);
  struct Case {
    std::string answer;
    std::string detected;
  };
  const std::vector<Case> cases = {
      {"Odd\b" + p, "Odd"},
      {"Odd\b" + p + "\b", "Odd"},  // a separator at the end adds no part
      {"Odd\b" + p + "\bx", ""},
      {p, ""},
      {"Odd\b0" + p, ""},
  };
  for (const auto& c : cases) {
    SetCachedServerName("");
    auto rec = std::make_shared<Recorded>();
    auto server = Serve("Odd", rec, {Reply(Cp1252ToUtf16(c.answer))});
    WriteList("Odd\r\n");
    if (NoParent()) continue;
    EXPECT_EQ(DetectHostServer(), c.detected) << c.answer;
    EXPECT_EQ(GetCachedServerName(), c.detected) << c.answer;
  }
}

}  // namespace
}  // namespace dz
