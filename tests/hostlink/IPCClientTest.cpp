#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hostlink/IPCClient.h"
#include "hostlink/MVTempDir.h"
#include "tests/support/FaultyChannel.h"
#include "tests/support/ScriptedServer.h"

namespace dz {
namespace {

using namespace dz::test;

// A request whose store holds exactly `size` bytes.
MessageDataPtr RawRequest(std::size_t size) {
  MessageDataPtr m = CreateMessageData();
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 1);
  m->Data().AppendRaw(bytes.data(), bytes.size());
  return m;
}

MessageDataPtr GetJsonRequest() {
  MessageDataPtr m = CreateMessageData();
  m->Data().WriteUnicodeString(u"COMMAND", u"GETJSON");
  m->Data().WriteInteger(u"INDEX", -1);
  m->Data().WriteBoolean(u"SYNC", true);
  return m;
}

std::string ReplyWithData(std::u16string_view text, std::string_view id = {}) {
  return WireMessage(TextEntry(u"DATA", text), id);
}

struct MemoryExchange {
  std::shared_ptr<std::string> written = std::make_shared<std::string>();
  std::shared_ptr<std::vector<std::size_t>> writes = std::make_shared<std::vector<std::size_t>>();
  MessageDataPtr reply;
  bool answered = false;
};

// Runs one exchange over memory: `reply` is what the server sends.
MemoryExchange RunOverMemory(const MessageDataPtr& request, std::string reply,
                             std::size_t maxPiece = 0) {
  MemoryExchange x;
  TIPCClient client;
  client.AttachChannel(std::make_unique<RecordingChannel>(
      std::make_unique<SharedMemoryChannel>(std::move(reply), x.written, maxPiece), x.writes));
  x.reply = client.ExecuteRequest(request);
  x.answered = client.Answered();
  client.DisconnectClient();
  return x;
}

TEST(IPCClient, PipeNameFollowsServerName) {
  TIPCClient c;
  EXPECT_EQ(c.ComputerName(), ".");
  EXPECT_FALSE(c.Connected());
  EXPECT_FALSE(c.Answered());
  c.SetServerName("MVX-1");
  EXPECT_EQ(c.PipeName(), "\\\\.\\pipe\\MVX-1");
  c.SetServerName("Other");
  EXPECT_EQ(c.PipeName(), "\\\\.\\pipe\\Other");
}

TEST(IPCClient, RequestGoesOutInPiecesOf64KiB) {
  struct Case {
    std::size_t dataSize;
    std::string id;
    std::vector<std::size_t> writes;  // the farewell included
  };
  const std::vector<Case> cases = {
      {0, "", {8, 8, 8}},
      {87, "", {8, 8, 87, 8}},
      {65536, "", {8, 8, 65536, 8}},
      {65537, "", {8, 8, 65536, 1, 8}},
      {200000, "", {8, 8, 65536, 65536, 65536, 3392, 8}},
      {5, "AB", {10, 8, 5, 8}},
  };
  for (const auto& c : cases) {
    MessageDataPtr request = RawRequest(c.dataSize);
    request->SetID(c.id);
    MemoryExchange x = RunOverMemory(request, WireMessage(""));
    EXPECT_TRUE(x.answered) << c.dataSize;
    EXPECT_EQ(*x.writes, c.writes) << c.dataSize;
    EXPECT_EQ(*x.written, WireMessage(request->Data().Bytes(), c.id) + FarewellBytes())
        << c.dataSize;
  }
}

TEST(IPCClient, ReplyShapes) {
  struct Case {
    const char* what;
    std::string bytes;
    bool answered;
    std::string id;
    std::u16string data;
    std::int64_t storeSize;
  };
  const std::string dataEntry = TextEntry(u"DATA", u"C:\\daten");
  const std::vector<Case> cases = {
      {"16 bytes: empty reply", Int64LE(0) + Int64LE(0), true, "", u"", 0},
      {"with identifier", ReplyWithData(u"C:\\daten", "XY"), true, "XY", u"C:\\daten",
       static_cast<std::int64_t>(dataEntry.size())},
      {"negative sizes count as none", Int64LE(-5) + Int64LE(-1), true, "", u"", 0},
      {"bytes beyond the announced size are not taken", WireMessage(dataEntry) + "garbage", true,
       "", u"C:\\daten", static_cast<std::int64_t>(dataEntry.size())},
      {"nothing at all", "", false, "", u"", 0},
      {"cut in the data size", Int64LE(0) + "\x10\x00", false, "", u"", 0},
      {"huge data size, few bytes", Int64LE(0) + Int64LE(INT64_C(1) << 62) + dataEntry, false, "",
       u"C:\\daten", static_cast<std::int64_t>(dataEntry.size())},
      {"huge identifier, few bytes", Int64LE(INT64_C(1) << 62) + "abc", false, "abc", u"", 0},
  };
  for (const auto& c : cases) {
    MemoryExchange x = RunOverMemory(GetJsonRequest(), c.bytes);
    EXPECT_EQ(x.answered, c.answered) << c.what;
    ASSERT_TRUE(x.reply) << c.what;  // the request went out, so a reply exists
    EXPECT_EQ(x.reply->ID(), c.id) << c.what;
    EXPECT_EQ(x.reply->Data().Size(), c.storeSize) << c.what;
    EXPECT_EQ(x.reply->Data().ReadUnicodeString(u"DATA"), c.data) << c.what;
  }
}

TEST(IPCClient, ReplyArrivingInArbitraryPiecesIsReassembled) {
  std::u16string big;
  for (int i = 0; i < 100000; ++i) big += static_cast<char16_t>(u'a' + i % 26);
  const std::string reply = ReplyWithData(big, "ID");
  for (std::size_t piece : {1, 2, 3, 7, 8, 9, 4095, 65535, 65536, 65537}) {
    MemoryExchange x = RunOverMemory(GetJsonRequest(), reply, piece);
    EXPECT_TRUE(x.answered) << piece;
    ASSERT_TRUE(x.reply);
    EXPECT_EQ(x.reply->ID(), "ID");
    EXPECT_EQ(x.reply->Data().ReadUnicodeString(u"DATA"), big) << piece;
  }
}

TEST(IPCClient, CutAtEveryOffsetIsNeverAnswered) {
  const std::string reply = ReplyWithData(u"Rechnung", "I");
  for (std::size_t cut = 0; cut <= reply.size(); ++cut) {
    for (bool asEnd : {false, true}) {
      TIPCClient client;
      auto written = std::make_shared<std::string>();
      client.AttachChannel(
          std::make_unique<CutChannel>(std::make_unique<SharedMemoryChannel>(reply, written, 3),
                                       cut, CutChannel::kNoLimit, asEnd));
      MessageDataPtr r = client.ExecuteRequest(GetJsonRequest());
      EXPECT_EQ(client.Answered(), cut == reply.size()) << cut;
      ASSERT_TRUE(r);
      if (client.Answered()) {
        EXPECT_EQ(r->Data().ReadUnicodeString(u"DATA"), u"Rechnung");
      }
    }
  }
  // A request that cannot be written completely gives no reply at all.
  const std::size_t requestBytes = WireMessage(GetJsonRequest()->Data().Bytes()).size();
  for (std::size_t cut = 0; cut < requestBytes; ++cut) {
    TIPCClient client;
    auto written = std::make_shared<std::string>();
    client.AttachChannel(std::make_unique<CutChannel>(
        std::make_unique<SharedMemoryChannel>(reply, written), CutChannel::kNoLimit, cut));
    EXPECT_FALSE(client.ExecuteRequest(GetJsonRequest())) << cut;
    EXPECT_FALSE(client.Answered()) << cut;
  }
}

TEST(IPCClient, ShortWritesStillDeliverTheWholeRequest) {
  auto written = std::make_shared<std::string>();
  TIPCClient client;
  client.AttachChannel(std::make_unique<ShortChannel>(
      std::make_unique<SharedMemoryChannel>(WireMessage(""), written), 0, 5));
  MessageDataPtr request = RawRequest(70000);
  client.ExecuteRequest(request);
  EXPECT_TRUE(client.Answered());
  EXPECT_EQ(*written, WireMessage(request->Data().Bytes()));
}

// Real sockets under a private temporary folder.
class IPCClientSocket : public ::testing::Test {
 protected:
  ScopedTempFolder temp_;
};

// A time-out this long would fail the test by its own time limit: these must return at
// once.
constexpr std::uint32_t kForever = 600000;

TEST_F(IPCClientSocket, MissingServerFailsAtOnce) {
  // A socket file that nobody listens on any more. Windows has no such thing (a pipe goes
  // with its last handle), so there the rename fails and "Stale" is simply absent.
  {
    PipeListener l;
    ASSERT_TRUE(l.Listen("tmp", 4));
    std::error_code ec;
    std::filesystem::rename(l.Address(), PipeAddress("Stale"), ec);
  }
  const std::string tooLong(200, 'x');
  for (std::string name : {"Nobody", "Stale", "", "a/b", ".", "..", tooLong.c_str()}) {
    TIPCClient client;
    client.SetServerName(name);
    EXPECT_FALSE(client.ExecuteConnected(GetJsonRequest(), kForever)) << name;
    EXPECT_FALSE(client.Answered()) << name;
    EXPECT_FALSE(client.Connected()) << name;
  }
  TIPCClient remote;
  remote.SetComputerName("ELSEWHERE");
  remote.SetServerName("Nobody");
  EXPECT_FALSE(remote.ExecuteConnected(GetJsonRequest(), kForever));
}

// Serves one exchange: records the request and what follows it until the client closes.
struct Recorder {
  std::mutex mutex;
  std::vector<std::string> requests;
  std::vector<std::string> after;
};

ScriptedServer::Script Answer(std::shared_ptr<Recorder> rec, std::string reply,
                              std::size_t piece = 0) {
  return [rec, reply, piece](ByteChannel& peer) {
    std::string request = ReadRawRequest(peer);
    if (request.empty()) return;  // a connection that only filled the queue
    for (std::size_t at = 0; at < reply.size();) {
      std::size_t n = piece ? std::min(piece, reply.size() - at) : reply.size() - at;
      if (!WriteAll(peer, reply.data() + at, n)) break;
      at += n;
    }
    std::string rest = ReadUntilClosed(peer);
    std::lock_guard<std::mutex> lock(rec->mutex);
    rec->requests.push_back(request);
    rec->after.push_back(rest);
  };
}

TEST_F(IPCClientSocket, ExchangeBytesAndFarewell) {
  auto rec = std::make_shared<Recorder>();
  ScriptedServer server("Srv", Answer(rec, ReplyWithData(u"/daten/db"), 3));
  for (int i = 0; i < 2; ++i) {
    TIPCClient client;
    client.SetServerName("Srv");
    MessageDataPtr reply = client.ExecuteConnected(GetJsonRequest(), 5000);
    EXPECT_TRUE(client.Answered());
    EXPECT_FALSE(client.Connected());
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Data().ReadUnicodeString(u"DATA"), u"/daten/db");
  }
  ASSERT_TRUE(server.WaitServed(2));
  std::lock_guard<std::mutex> lock(rec->mutex);
  ASSERT_EQ(rec->requests.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(rec->requests[i], WireMessage(GetJsonRequest()->Data().Bytes()));
    EXPECT_EQ(rec->requests[i].substr(0, 8), std::string(8, '\0'));  // empty identifier
    EXPECT_EQ(rec->after[i], FarewellBytes());
  }
}

TEST_F(IPCClientSocket, AlwaysBusyServerGivesUpAtTheTimeOut) {
  auto rec = std::make_shared<Recorder>();
  ScriptedServer server("Busy", Answer(rec, WireMessage("")), 0, true);
  QueueFiller filler("Busy");
  ASSERT_TRUE(filler.Full());
  TIPCClient client;
  client.SetServerName("Busy");
  EXPECT_FALSE(client.ExecuteConnected(GetJsonRequest(), 300));
  EXPECT_FALSE(client.Answered());
  EXPECT_FALSE(client.Connected());
}

TEST_F(IPCClientSocket, BusyServerThatFreesUpIsReached) {
  auto rec = std::make_shared<Recorder>();
  ScriptedServer server("Busy", Answer(rec, ReplyWithData(u"frei")), 0, true);
  auto filler = std::make_unique<QueueFiller>("Busy");
  ASSERT_TRUE(filler->Full());
  std::promise<std::u16string> answer;
  std::thread caller([&] {
    TIPCClient client;
    client.SetServerName("Busy");
    MessageDataPtr reply = client.ExecuteConnected(GetJsonRequest(), kForever);
    answer.set_value(client.Answered() && reply ? reply->Data().ReadUnicodeString(u"DATA")
                                                : u"(none)");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it meet the full queue
  filler.reset();  // closed, but still queued until the server takes them
  server.StartAccepting();
  caller.join();
  EXPECT_EQ(answer.get_future().get(), u"frei");
}

TEST_F(IPCClientSocket, ServerStoppingMidReply) {
  const std::string reply = ReplyWithData(u"abgebrochen");
  for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{16}, reply.size() - 1}) {
    ScriptedServer server("Half", [&](ByteChannel& peer) {
      ReadRawRequest(peer);
      WriteAll(peer, reply.data(), cut);
    });
    TIPCClient client;
    client.SetServerName("Half");
    MessageDataPtr r = client.ExecuteConnected(GetJsonRequest(), 5000);
    EXPECT_FALSE(client.Answered()) << cut;
    ASSERT_TRUE(r) << cut;
    EXPECT_EQ(r->Data().ReadUnicodeString(u"DATA"), u"") << cut;
  }
}

TEST_F(IPCClientSocket, SilentServerEndsTheExchangeAfterTheReplyTimeout) {
  auto rec = std::make_shared<Recorder>();
  const std::string reply = ReplyWithData(u"nie fertig");
  ScriptedServer server("Mute", [&](ByteChannel& peer) {
    ReadRawRequest(peer);
    WriteAll(peer, reply.data(), 20);  // then silence, until the client gives up
    std::string rest = ReadUntilClosed(peer);
    std::lock_guard<std::mutex> lock(rec->mutex);
    rec->after.push_back(rest);
  });
  TIPCClient client;
  client.SetServerName("Mute");
  client.SetReplyTimeout(200);
  EXPECT_TRUE(client.ExecuteConnected(GetJsonRequest(), 5000));
  EXPECT_FALSE(client.Answered());
  ASSERT_TRUE(server.WaitServed(1));
  std::lock_guard<std::mutex> lock(rec->mutex);
  EXPECT_EQ(rec->after.at(0), FarewellBytes());
}

TEST_F(IPCClientSocket, ServerThatTakesNothingEndsTheWriteAfterTheReplyTimeout) {
  std::promise<void> done;
  std::shared_future<void> released = done.get_future().share();
  ScriptedServer server("Deaf", [released](ByteChannel&) { released.wait(); });
  TIPCClient client;
  client.SetServerName("Deaf");
  client.SetReplyTimeout(200);
  EXPECT_FALSE(client.ExecuteConnected(RawRequest(32 << 20), 5000));
  EXPECT_FALSE(client.Answered());
  done.set_value();
}

}  // namespace
}  // namespace dz
