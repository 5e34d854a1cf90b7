#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "platform/Platform.h"
#include "tests/support/HostsimProcess.h"
#include "tests/support/ScriptedServer.h"
#include "tools/hostsim/HostServer.h"
#include "tools/hostsim/HostsimMain.h"
#include "tools/hostsim/OpenDocument.h"
#include "tools/hostsim/ServerList.h"

namespace dz::hostsim {
namespace {

using namespace dz::test;
namespace fs = std::filesystem;

std::vector<std::string> JournalLines(const std::string& path) {
  std::string text;
  ReadWholeFile(path, text);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Hostsim : public ::testing::Test {
 protected:
  void SetUp() override { SetCachedServerName(""); }
  void TearDown() override { SetCachedServerName(""); }

  HostsimOptions Named(const std::string& name) {
    HostsimOptions o;
    o.name = name;
    o.dir = temp_.path() + "db-" + name;
    fs::create_directories(o.dir);
    o.document = temp_.path() + name + ".json";
    return o;
  }
  std::string Ask(const std::string& server, const std::string& command) {
    bool answered = false;
    std::string answer = ReadIPCValueFrom(command, server, "", &answered);
    EXPECT_TRUE(answered) << server << " " << command;
    return answer;
  }

  ScopedTempFolder temp_;
};

TEST_F(Hostsim, SeveralNamedServersSideBySide) {
  auto a = std::make_unique<HostsimProcess>(Named("SrvA"));
  auto b = std::make_unique<HostsimProcess>(Named("SrvB"));
  HostsimOptions first = Named("SrvC");
  first.isDefault = true;
  auto c = std::make_unique<HostsimProcess>(first);
  EXPECT_EQ(ServerListLines(), (std::vector<std::string>{"SrvC", "SrvA", "SrvB"}));

  for (auto* p : {a.get(), b.get(), c.get()}) {
    EXPECT_EQ(Ask(p->Name(), "SERVERPROCESS"), p->Name() + "\b" + std::to_string(p->Pid()));
    EXPECT_EQ(Ask(p->Name(), "DBPATH"), temp_.path() + "db-" + p->Name());
  }
  // A second server cannot take a name that is being served.
  EXPECT_THROW(HostsimProcess dup(Named("SrvA")), std::runtime_error);
  EXPECT_EQ(ServerListLines(), (std::vector<std::string>{"SrvC", "SrvA", "SrvB"}));

  EXPECT_EQ(a->Stop(), 0);
  EXPECT_EQ(ServerListLines(), (std::vector<std::string>{"SrvC", "SrvB"}));
  EXPECT_EQ(TryConnectPipe("SrvA").status, ConnectStatus::Missing);
  EXPECT_EQ(c->StopBySignal(), 0);
  EXPECT_EQ(ServerListLines(), (std::vector<std::string>{"SrvB"}));
  EXPECT_EQ(Ask("SrvB", "MARVELLAMETRICS"), "100,100,1200,800");
  EXPECT_EQ(b->Stop(), 0);
  EXPECT_TRUE(ServerListLines().empty());
}

TEST_F(Hostsim, ConfiguredAnswers) {
  HostsimOptions o = Named("Cfg");
  o.canPost = "0";
  o.metrics = "10,20,300,400";
  o.processId = 4711;
  HostsimProcess p(o);
  EXPECT_EQ(Ask("Cfg", "CANPOSTJSON"), "0");
  EXPECT_EQ(Ask("Cfg", "MARVELLAMETRICS"), "10,20,300,400");
  EXPECT_EQ(Ask("Cfg", "SERVERPROCESS"), "Cfg\b4711");
  EXPECT_EQ(Ask("Cfg", "NOSUCHCOMMAND"), "");
}

TEST_F(Hostsim, GetJsonHandsOutFreshCopies) {
  HostsimOptions o = Named("Doc");
  const std::string doc =
      "{\"Order\":[{\"PrintName\":\"Rechnung\",\"PrintUID\":\"4711\","
      "\"Adress\":[{\"AdressSmart\":\"M\xFCller GmbH\"}],\"Parts\":[]}]}";
  ASSERT_TRUE(WriteWholeFile(o.document, doc));
  HostsimProcess p(o);
  const std::string first = Ask("Doc", "GETJSON");
  const std::string second = Ask("Doc", "GETJSON");
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    EXPECT_EQ(fs::path(path).parent_path().string() + PathDelim, MVTempDir());
    EXPECT_EQ(fs::path(path).extension(), ".json");
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, doc);
  }
}

TEST_F(Hostsim, OutDataIsAppendedAndKept) {
  HostsimOptions o = Named("Out");
  o.journal = temp_.path() + "journal.txt";
  const std::string part1 = R"({"Quantity":"2,5","Unit":"Stk","Description1":"Gr)"
                            "\xF6\xDF"
                            R"(e 3 x 4"})";
  const std::string part2 = R"({"Quantity":"1","Description1":"\u20ac \/ Stk"})";
  auto import = [](const std::string& parts) {
    return R"({"Order":[{"Parts":[)" + parts +
           R"(],"Adress":[{}],"NettoPrices":true,"TaxImport":false,"UpdateParts":false,)"
           R"("AppendMode":true}],"Description":"TCSVRequest"})";
  };
  {
    HostsimProcess p(o);
    SetCachedServerName("Out");
    EXPECT_FALSE(WriteIPCValueASync("", 11, "OUTDATA"));  // empty data: nothing is sent
    EXPECT_TRUE(JournalLines(o.journal).empty());
    EXPECT_TRUE(WriteIPCValueASync(import(part1), 11, "OUTDATA"));
    EXPECT_TRUE(WriteIPCValueASync(import(part2), 11, "OUTDATA"));
    EXPECT_TRUE(WriteIPCValueASync("kein JSON", 11, "OUTDATA"));
    EXPECT_EQ(JournalLines(o.journal),
              (std::vector<std::string>{"OUTDATA\t11\t-\t" + std::to_string(import(part1).size()),
                                        "OUTDATA\t11\t-\t" + std::to_string(import(part2).size()),
                                        "OUTDATA\t11\t-\t9"}));
  }
  // Persisted: a new server on the same document still has both parts, in order, as sent.
  HostsimProcess again(o);
  std::string text;
  ASSERT_TRUE(ReadWholeFile(Ask("Out", "GETJSON"), text));
  const std::string empty = OpenDocument::EmptyInvoice();
  EXPECT_EQ(text, empty.substr(0, empty.size() - 4) + part1 + "," + part2 + "]}]}");
  // The import that could not be merged is kept beside the document.
  int rejected = 0;
  for (const auto& e : fs::directory_iterator(temp_.path())) {
    if (e.path().filename().string().rfind("Out.json.rejected-", 0) == 0) {
      std::string kept;
      ReadWholeFile(e.path().string(), kept);
      EXPECT_EQ(kept, "kein JSON");
      ++rejected;
    }
  }
  EXPECT_EQ(rejected, 1);
}

TEST_F(Hostsim, HandlersCanBeAddedAndFailuresBecomeErrorAnswers) {
  HostServerOptions o;
  o.name = "InProc";
  o.databaseDir = "/daten";
  o.documentFile = temp_.path() + "inproc.json";
  HostServer server(o);
  server.Handle("ANYQUERY", [](const HostRequest& r) { return "Felder:" + r.data; });
  server.Handle("BROKEN",
                [](const HostRequest&) -> std::string { throw std::runtime_error("kaputt"); });
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  std::thread runner([&] { server.Run(); });
  EXPECT_EQ(ReadIPCValueFrom("ANYQUERY", "InProc", "a\bb"), "Felder:a\bb");
  EXPECT_EQ(ReadIPCValueFrom("BROKEN", "InProc", ""), "Error: kaputt");
  EXPECT_EQ(ReadIPCValueFrom("DBPATH", "InProc", ""), "/daten");
  EXPECT_EQ(ServerListLines(), std::vector<std::string>{"InProc"});
  server.Stop();
  runner.join();
  EXPECT_TRUE(ServerListLines().empty());
}

TEST_F(Hostsim, SeveralRequestsOnOneConnectionAndAClientThatVanishes) {
  HostsimProcess p(Named("Conn"));
  auto request = [](const std::u16string& command) {
    return WireMessage(TextEntry(u"COMMAND", command) + Entry(u"INDEX", Int32LE(-1)) +
                       Entry(u"SYNC", "\x01"));
  };
  ConnectResult c = TryConnectPipe("Conn", 10000);
  ASSERT_EQ(c.status, ConnectStatus::Connected);
  const std::string expected = WireMessage(TextEntry(u"DATA", u"0"));
  HostsimOptions unused;
  for (int i = 0; i < 2; ++i) {
    const std::string req = request(u"CANPOSTJSON");
    ASSERT_TRUE(WriteAll(*c.channel, req.data(), req.size()));
  }
  // Both answers arrive; the stand-in was started without --canpost, so it allows.
  const std::string allow = WireMessage(TextEntry(u"DATA", u"1"));
  std::string got(allow.size() * 2, '\0');
  ASSERT_TRUE(ReadExact(*c.channel, got.data(), got.size()));
  EXPECT_EQ(got, allow + allow);
  // Half a request, then gone: the server must carry on.
  const std::string half = request(u"DBPATH").substr(0, 20);
  WriteAll(*c.channel, half.data(), half.size());
  c.channel->Close();
  EXPECT_EQ(Ask("Conn", "CANPOSTJSON"), "1");
}

TEST(HostsimOptions, CommandLine) {
  ServeOptions o;
  std::string error;
  // An absolute folder on this system ("/daten/db", or on the working folder's drive).
  const std::string dir = AbsolutePath(std::string(1, PathDelim)) + "daten" + PathDelim + "db";
  ASSERT_TRUE(ParseServeOptions({"--name", "X", "--dir", dir + PathDelim, "--canpost", "0",
                                 "--metrics", "1,2", "--default", "--process-id", "12"},
                                o, &error))
      << error;
  EXPECT_EQ(o.server.name, "X");
  EXPECT_EQ(o.server.databaseDir, dir);
  EXPECT_EQ(o.server.documentFile, dir + PathDelim + "open-document.json");
  EXPECT_EQ(o.server.canPost, "0");
  EXPECT_EQ(o.server.metrics, "1,2");
  EXPECT_TRUE(o.server.registerAsDefault);
  EXPECT_EQ(o.server.processId, 12);

  const std::vector<std::vector<std::string>> bad = {
      {"--name"},
      {"--name", ""},
      {"--name", "a/b"},
      {"--process-id", "x"},
      {"--ready-fd", "12345"},
      {"--bogus"},
  };
  for (const auto& args : bad) {
    ServeOptions b;
    EXPECT_FALSE(ParseServeOptions(args, b, &error)) << args[0];
  }
  std::ostringstream out, err;
  EXPECT_EQ(HostsimMain({"--help"}, out, err), 0);
  EXPECT_NE(out.str().find("--canpost"), std::string::npos);
  EXPECT_EQ(HostsimMain({"nosuch"}, out, err), 2);
  EXPECT_EQ(HostsimMain({"--bogus"}, out, err), 2);
}

}  // namespace
}  // namespace dz::hostsim
