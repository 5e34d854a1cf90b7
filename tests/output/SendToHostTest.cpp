#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "docdata/Cp1252.h"
#include "docdata/FastJSON.h"
#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "output/PutMVParser.h"
#include "output/SendToHost.h"
#include "platform/Platform.h"
#include "tests/support/HostsimProcess.h"
#include "tests/support/ScriptedServer.h"

namespace dz {
namespace {

using namespace dz::test;

// The import document of one part, as the host reads it.
std::string PartText(const std::string& quantity, const std::string& position,
                     const std::string& text = "") {
  return R"({"Quantity":")" + quantity + R"(","Unit":"","Description1":")" + text +
         R"(","Description2":"","DeliverNumber":"","SerialNumber":"","Number":"","Price":"",)"
         R"("TaxRate":"","Total":"","Rabatt":"","Position":")" +
         position + R"(","LongText":"","TypLine":"","Intern":"","ID":"","User":""})";
}
std::string Document(const std::string& parts) {
  return R"({"Order":[{"Parts":[)" + parts +
         R"(],"Adress":[{}],"NettoPrices":true,"TaxImport":false,"UpdateParts":false,)"
         R"("AppendMode":true}],"Description":"TCSVRequest"})";
}

std::string Reply(std::u16string_view data) {
  return WireMessage(TextEntry(u"DATA", data));
}

// The document an "OUTDATA" request carries (8-bit), read by hand from the wire and
// message formats: identifier, store size, "COMMAND", "INDEX" = 11, "DATA" and nothing
// after it (no "SYNC"). "(not OUTDATA)" for anything else.
std::string DocumentOf(const std::string& request) {
  const std::string head = TextEntry(u"COMMAND", u"OUTDATA") + Entry(u"INDEX", Int32LE(11)) +
                           Int32LE(8) + Utf16LE(u"DATA");
  const std::size_t start = 16 + head.size() + 8;
  if (request.size() < start || request.size() % 2 != 0) return "(not OUTDATA)";
  const std::size_t textSize = request.size() - start;
  if (request.compare(0, 16, Int64LE(0) + Int64LE(request.size() - 16)) != 0 ||
      request.compare(16, head.size(), head) != 0 ||
      request.compare(16 + head.size(), 8, Int64LE(textSize)) != 0)
    return "(not OUTDATA)";
  std::u16string text;
  for (std::size_t i = start; i < request.size(); i += 2)
    text += static_cast<char16_t>(static_cast<unsigned char>(request[i]) |
                                  static_cast<unsigned char>(request[i + 1]) << 8);
  return Utf16ToCp1252(text);
}

bool IsCanPost(const std::string& request) {
  return request.find(Utf16LE(u"CANPOSTJSON")) != std::string::npos;
}

enum class OnOutData { Answer, Close, Vanish };

class SendToHost : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCachedServerName("");
    ASSERT_TRUE(WriteWholeFile(ServerListFileName(), "Srv\r\n"));
  }
  void TearDown() override { SetCachedServerName(""); }

  // A host answering "CANPOSTJSON" with `canPost` and treating "OUTDATA" as `onOut`
  // says; every request is recorded.
  void Host(const std::u16string& canPost, OnOutData onOut = OnOutData::Answer) {
    server_ = std::make_unique<ScriptedServer>("Srv", [=, this](ByteChannel& peer) {
      const std::string request = ReadRawRequest(peer);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
      }
      if (IsCanPost(request)) {
        // A host that goes away takes its pipe with it: later calls find nobody. The
        // pipe goes before the answer, so no later call can still reach it.
        if (onOut == OnOutData::Vanish) server_->StopListening();
        const std::string reply = Reply(canPost);
        WriteAll(peer, reply.data(), reply.size());
        ReadUntilClosed(peer);
      } else if (onOut == OnOutData::Answer) {
        const std::string reply = Reply(u"");
        WriteAll(peer, reply.data(), reply.size());
        ReadUntilClosed(peer);
      }  // else: closes without a word
    });
  }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  void ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
  }
  std::vector<std::string> Documents() {
    std::vector<std::string> docs;
    for (const auto& r : Requests())
      if (!IsCanPost(r)) docs.push_back(DocumentOf(r));
    return docs;
  }

  ScopedTempFolder temp_;
  std::unique_ptr<ScriptedServer> server_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

TDataGridLine Line(const std::string& position, const std::string& quantity = "1") {
  TDataGridLine l;
  l.Pos = position;
  l.Stueck = quantity;
  return l;
}

TEST_F(SendToHost, OnePartExactly) {
  Host(u"1");
  TDataGridLine l;
  l.Stueck = "2,5";
  l.Einheit = "Stk";
  l.Bezeichnung1 =
      "Gr\xF6\xDF"
      "e 3/4";
  l.Bezeichnung2 = "Preis: 5 \x80";
  l.BestellNummer = "B1";
  l.Seriennummer = "S1";
  l.Artikelnummer = "A1";
  l.Einzelbetrag = "12,5";
  l.Steuer = "19";
  l.SummeBetrag = "31,25";
  l.Rabatt = "0";
  l.Pos = "1.2";
  l.Second = "Zeile\r\n\"2\"\t";
  l.TypeLine = "p";
  l.intern = "\x08;1";
  l.ID_Artikel = "77";
  l.User = "EAN=4001";
  l.DM = true;  // not part of the import
  const TDataGridLine* selection[] = {&l};
  EXPECT_EQ(SendSelection(selection, nullptr), SendResult::Delivered);

  const std::string doc =
      R"({"Order":[{"Parts":[{"Quantity":"2,5","Unit":"Stk","Description1":"Gr)"
      "\xF6\xDF"
      R"(e 3\/4","Description2":"Preis: 5 \u20ac","DeliverNumber":"B1","SerialNumber":"S1",)"
      R"("Number":"A1","Price":"12,5","TaxRate":"19","Total":"31,25","Rabatt":"0",)"
      R"("Position":"1.2","LongText":"Zeile\r\n\"2\"\t","TypLine":"p","Intern":"\b;1",)"
      R"("ID":"77","User":"EAN=4001"}],"Adress":[{}],"NettoPrices":true,"TaxImport":false,)"
      R"("UpdateParts":false,"AppendMode":true}],"Description":"TCSVRequest"})";
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(IsCanPost(requests[0]));
  EXPECT_EQ(DocumentOf(requests[1]), doc);
}

TEST_F(SendToHost, PartsInSelectionOrder) {
  Host(u"1");
  TDataGridLine l3 = Line("3", "2,5"), l5 = Line("5"), l7 = Line("7"), current = Line("9");
  const struct {
    const char* what;
    std::vector<const TDataGridLine*> selection;
    const TDataGridLine* current;
    std::string parts;
  } cases[] = {
      {"selection order",
       {&l7, &l3, &l5},
       &current,
       PartText("1", "7") + "," + PartText("2,5", "3") + "," + PartText("1", "5")},
      {"rows without a line add nothing", {nullptr, &l5, nullptr}, &current, PartText("1", "5")},
      {"only rows without a line", {nullptr}, &current, ""},
      {"nothing selected: the current row", {}, &current, PartText("1", "9")},
      {"nothing selected, current row without a line", {}, nullptr, ""},
  };
  for (const auto& c : cases) {
    ClearRequests();
    EXPECT_EQ(SendSelection(c.selection, c.current), SendResult::Delivered) << c.what;
    EXPECT_EQ(Documents(), std::vector<std::string>{Document(c.parts)}) << c.what;
  }
}

TEST_F(SendToHost, EachSendStartsAFreshDocument) {
  Host(u"1");
  TDataGridLine a = Line("1"), b = Line("2");
  const TDataGridLine* first[] = {&a};
  const TDataGridLine* second[] = {&b};
  EXPECT_EQ(SendSelection(first, nullptr), SendResult::Delivered);
  EXPECT_EQ(SendSelection(second, nullptr), SendResult::Delivered);
  EXPECT_EQ(Documents(),
            (std::vector<std::string>{Document(PartText("1", "1")), Document(PartText("1", "2"))}));
  EXPECT_FALSE(TJSON::HasDocument());
}

TEST_F(SendToHost, OnlyExactlyOneAllows) {
  TDataGridLine l = Line("1");
  const TDataGridLine* selection[] = {&l};
  for (std::u16string answer : {u" 1", u"true", u"", u"0", u"1 ", u"11"}) {
    Host(answer);
    EXPECT_EQ(SendSelection(selection, nullptr), SendResult::Refused);
    // Asked once (the answer arrived), and nothing sent.
    EXPECT_EQ(Requests().size(), 1u);
    server_.reset();
    ClearRequests();
  }
  // No host at all: refused as well.
  EXPECT_EQ(SendSelection(selection, nullptr), SendResult::Refused);
  EXPECT_FALSE(TJSON::HasDocument());
}

TEST_F(SendToHost, HostThatStopsAnsweringAfterTheCheck) {
  TDataGridLine l = Line("4");
  const TDataGridLine* selection[] = {&l};
  for (OnOutData how : {OnOutData::Close, OnOutData::Vanish}) {
    Host(u"1", how);
    EXPECT_EQ(SendSelection(selection, nullptr), SendResult::Undelivered);
    const auto docs = Documents();
    // The host link tries three times; a vanished host is not even reached.
    EXPECT_EQ(docs.size(), how == OnOutData::Close ? 3u : 0u);
    for (const auto& d : docs) EXPECT_EQ(d, Document(PartText("1", "4")));
    EXPECT_FALSE(TJSON::HasDocument());
    server_.reset();
    ClearRequests();
  }
}

TEST(SendParser, FailureWhileFillingDiscardsTheDocument) {
  TPutMVParser parser;
  auto failing = [](void*, TPutMVParser& p) {
    TDataGridLine l = Line("1");
    p.Json().AddPart(l);
    throw std::runtime_error("kaputt");
  };
  EXPECT_THROW(parser.Put(failing, nullptr), std::runtime_error);
  EXPECT_FALSE(TJSON::HasDocument());
  // The next document has no trace of the failed one.
  TJSONImport json;
  EXPECT_EQ(json.GenerateAndDiscard(), R"({"Order":[{"Parts":[],"Adress":[{}]}]})");
}

// End to end: the parts arrive in hostsim's open document, in order and unchanged.
TEST_F(SendToHost, DeliveredIntoHostsimsOpenDocument) {
  HostsimOptions o;
  o.name = "Srv";
  o.dir = temp_.path();
  o.document = temp_.path() + "open.json";
  o.isDefault = true;
  HostsimProcess host(o);

  TDataGridLine l3 = Line("3", "2,5"), l5 = Line("5"), l7 = Line("7");
  l3.Bezeichnung1 =
      "Gr\xF6\xDF"
      "e \"M\"";
  const TDataGridLine* selection[] = {&l7, &l3, &l5};
  EXPECT_EQ(SendSelection(selection, nullptr), SendResult::Delivered);
  EXPECT_EQ(SendSelection(selection, nullptr), SendResult::Delivered);

  TFastJSON doc;
  std::string text;
  ASSERT_TRUE(ReadWholeFile(o.document, text));
  doc.Parse(text);
  TJsonArray& parts = doc.Member("Order").AsArray().Item(0).AsObject().Member("Parts").AsArray();
  ASSERT_EQ(parts.Count(), 6u);
  const char* positions[] = {"7", "3", "5", "7", "3", "5"};
  for (int i = 0; i < 6; ++i) {
    TJsonObject& part = parts.Item(i).AsObject();
    EXPECT_EQ(part.Member("Position").AsString(), positions[i]);
  }
  EXPECT_EQ(parts.Item(1).AsObject().Member("Quantity").AsString(), "2,5");
  EXPECT_EQ(parts.Item(1).AsObject().Member("Description1").AsString(),
            "Gr\xF6\xDF"
            "e \"M\"");
}

}  // namespace
}  // namespace dz
