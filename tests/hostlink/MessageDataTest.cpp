#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "docdata/Exception.h"
#include "hostlink/MessageData.h"
#include "hostlink/StringHash.h"
#include "tests/support/ScriptedServer.h"

namespace dz {
namespace {

using test::Entry;
using test::Int32LE;
using test::Int64LE;
using test::TextEntry;
using test::Utf16LE;

TEST(MessageData, GetJsonRequestIsExactly87Bytes) {
  MessageDataPtr m = CreateMessageData();
  TStreamStorage& d = m->Data();
  d.WriteUnicodeString(u"COMMAND", u"GETJSON");
  d.WriteInteger(u"INDEX", -1);
  d.WriteUnicodeString(u"DATA", u"");  // empty text: no entry
  d.WriteBoolean(u"SYNC", true);

  std::string expected = Int32LE(14) + Utf16LE(u"COMMAND") + Int64LE(14) + Utf16LE(u"GETJSON") +
                         Int32LE(10) + Utf16LE(u"INDEX") + Int64LE(4) + "\xFF\xFF\xFF\xFF" +
                         Int32LE(8) + Utf16LE(u"SYNC") + Int64LE(1) + "\x01";
  ASSERT_EQ(expected.size(), 87u);
  EXPECT_EQ(d.Bytes(), expected);
  EXPECT_EQ(d.Size(), 87);
  EXPECT_EQ(m->ID(), "");
  EXPECT_EQ(d.ReadUnicodeString(u"DATA"), u"");
  EXPECT_EQ(d.ReadUnicodeString(u"COMMAND"), u"GETJSON");
}

TEST(MessageData, IntegerAndBooleanValueBytes) {
  TMessageData m;
  m.Data().WriteInteger(u"I", 0x12345678);
  m.Data().WriteBoolean(u"F", false);
  EXPECT_EQ(m.Data().Bytes(), Entry(u"I", "\x78\x56\x34\x12") + Entry(u"F", std::string(1, '\0')));
}

TEST(MessageData, SecondWriteOfANameRaisesAndLeavesTheStreamAlone) {
  TMessageData m;
  m.Data().WriteUnicodeString(u"COMMAND", u"DBPATH");
  const std::string before = m.Data().Bytes();
  struct Case {
    const char* what;
    std::function<void()> write;
  };
  const std::vector<Case> cases = {
      {"text", [&] { m.Data().WriteUnicodeString(u"COMMAND", u"GETJSON"); }},
      {"integer", [&] { m.Data().WriteInteger(u"COMMAND", 1); }},
      {"boolean", [&] { m.Data().WriteBoolean(u"COMMAND", true); }},
  };
  for (const auto& c : cases) {
    try {
      c.write();
      ADD_FAILURE() << c.what << ": no exception";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Value with name \"COMMAND\" already exists") << c.what;
    }
    EXPECT_EQ(m.Data().Bytes(), before) << c.what;
  }
  // Names are compared exactly: another case is another name.
  EXPECT_NO_THROW(m.Data().WriteUnicodeString(u"command", u"x"));
}

TEST(MessageData, EmptyNameWritesNothing) {
  TMessageData m;
  m.Data().WriteUnicodeString(u"", u"x");
  m.Data().WriteInteger(u"", 1);
  m.Data().WriteBoolean(u"", true);
  EXPECT_EQ(m.Data().Size(), 0);
  EXPECT_EQ(m.Data().ReadUnicodeString(u""), u"");
}

// A received reply with four text entries, appended raw as the transport does.
struct Reply {
  std::string bytes;
  std::vector<std::int64_t> entryEnd;  // stream position after each entry
};

Reply FourEntries() {
  Reply r;
  for (auto [name, text] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"A", u"eins"}, {u"B", u"zwei"}, {u"C", u"drei"}, {u"D", u"vier"}}) {
    r.bytes += TextEntry(name, text);
    r.entryEnd.push_back(static_cast<std::int64_t>(r.bytes.size()));
  }
  return r;
}

TEST(MessageData, ReceivedReplyIsScannedLazilyAndOnlyOnce) {
  const Reply reply = FourEntries();
  const std::int64_t end = static_cast<std::int64_t>(reply.bytes.size());
  struct Read {
    std::u16string name;
    std::u16string expect;
    std::int64_t scanAfter;
  };
  struct Case {
    const char* what;
    std::vector<Read> reads;
  };
  const std::vector<Case> cases = {
      {"third, then first from the index",
       {{u"C", u"drei", reply.entryEnd[2]}, {u"A", u"eins", reply.entryEnd[2]}}},
      {"in order",
       {{u"A", u"eins", reply.entryEnd[0]},
        {u"B", u"zwei", reply.entryEnd[1]},
        {u"D", u"vier", end}}},
      {"missing name scans to the end once, later reads come from the index",
       {{u"X", u"", end}, {u"B", u"zwei", end}, {u"D", u"vier", end}, {u"X", u"", end}}},
      {"same name twice", {{u"B", u"zwei", reply.entryEnd[1]}, {u"B", u"zwei", reply.entryEnd[1]}}},
      {"names are case-sensitive", {{u"a", u"", end}, {u"A", u"eins", end}}},
  };
  for (const auto& c : cases) {
    TMessageData m;
    m.Data().AppendRaw(reply.bytes.data(), reply.bytes.size());
    m.Data().SetPosition(0);
    EXPECT_EQ(m.Data().ScanPosition(), 0) << c.what;
    for (const auto& r : c.reads) {
      EXPECT_EQ(m.Data().ReadUnicodeString(r.name), r.expect) << c.what;
      EXPECT_EQ(m.Data().ScanPosition(), r.scanAfter) << c.what;
    }
  }
}

TEST(MessageData, OddTextSizeDropsTheLastByte) {
  const std::string bytes = Entry(u"DATA", std::string("a\0b\0c", 5)) + TextEntry(u"NEXT", u"ok");
  TMessageData m;
  m.Data().AppendRaw(bytes.data(), bytes.size());
  EXPECT_EQ(m.Data().ReadUnicodeString(u"DATA"), u"ab");
  EXPECT_EQ(m.Data().ReadUnicodeString(u"NEXT"), u"ok");
}

TEST(MessageData, DamagedRepliesReadAsAbsentBeyondTheDamage) {
  const std::string good = TextEntry(u"A", u"eins");
  struct Case {
    const char* what;
    std::string tail;
  };
  const std::vector<Case> cases = {
      {"name length past the end", Int32LE(1000) + Utf16LE(u"B")},
      {"negative name length", Int32LE(-2) + Utf16LE(u"B")},
      {"value size past the end", Int32LE(2) + Utf16LE(u"B") + Int64LE(1 << 20) + "xx"},
      {"negative value size", Int32LE(2) + Utf16LE(u"B") + Int64LE(-4) + "xxxx"},
      {"huge value size", Int32LE(2) + Utf16LE(u"B") + Int64LE(INT64_MAX) + "xx"},
      {"cut in the size field", Int32LE(2) + Utf16LE(u"B") + "\x02\x00"},
      {"cut in the name length", std::string("\x02\x00", 2)},
  };
  for (const auto& c : cases) {
    const std::string bytes = good + c.tail;
    TMessageData m;
    m.Data().AppendRaw(bytes.data(), bytes.size());
    EXPECT_EQ(m.Data().ReadUnicodeString(u"B"), u"") << c.what;
    EXPECT_EQ(m.Data().ScanPosition(), m.Data().Size()) << c.what;
    EXPECT_EQ(m.Data().ReadUnicodeString(u"A"), u"eins") << c.what;
    EXPECT_EQ(m.Data().ReadUnicodeString(u"B"), u"") << c.what;
  }
}

TEST(MessageData, ReceivedNameTwiceReadsTheFirstInEveryOrder) {
  const std::string bytes =
      TextEntry(u"DATA", u"eins") + TextEntry(u"DATA", u"zwei") + TextEntry(u"Z", u"z");
  for (bool dataFirst : {true, false}) {
    TMessageData m;
    m.Data().AppendRaw(bytes.data(), bytes.size());
    if (dataFirst) {
      EXPECT_EQ(m.Data().ReadUnicodeString(u"DATA"), u"eins");
    }
    EXPECT_EQ(m.Data().ReadUnicodeString(u"Z"), u"z");
    EXPECT_EQ(m.Data().ReadUnicodeString(u"DATA"), u"eins") << dataFirst;
  }
}

TEST(MessageData, NonAsciiNamesAndTextsRoundTrip) {
  TMessageData m;
  m.Data().WriteUnicodeString(u"Gr\u00f6\u00dfe", u"\u20ac 5 \u00c4");
  EXPECT_EQ(m.Data().ReadUnicodeString(u"Gr\u00f6\u00dfe"), u"\u20ac 5 \u00c4");
  EXPECT_EQ(m.Data().ReadUnicodeString(u"Grosse"), u"");
}

TEST(MessageData, WritingAfterRawBytesStillRefusesTheirNames) {
  const std::string bytes = TextEntry(u"A", u"eins");
  TMessageData m;
  m.Data().AppendRaw(bytes.data(), bytes.size());
  EXPECT_THROW(m.Data().WriteUnicodeString(u"A", u"zwei"), Exception);
  m.Data().WriteUnicodeString(u"B", u"zwei");
  EXPECT_EQ(m.Data().ReadUnicodeString(u"A"), u"eins");
  EXPECT_EQ(m.Data().ReadUnicodeString(u"B"), u"zwei");
}

TEST(StringHash, PjwHashValuesAndBuckets) {
  struct Case {
    std::string key;
    std::uint32_t hash;
  };
  // Computed independently of this code.
  const std::vector<Case> cases = {
      {"", 0u},
      {"COMMAND", 138548836u},
      {"DATA", 296577u},
      {"ABCDEFGHIJKLMNOP", 109054432u},
      {"\xff\xfe\xfd\xfc\xfb\xfa\xf9\xf8\xf7", 231516311u},
  };
  for (const auto& c : cases) EXPECT_EQ(PJWHash(c.key), c.hash) << c.key;

  TStringHash h;
  EXPECT_EQ(h.ValueOf("COMMAND"), -1);
  h.Add("COMMAND", 4);
  h.Add("command", 8);
  EXPECT_EQ(h.ValueOf("COMMAND"), 4);
  EXPECT_EQ(h.ValueOf("command"), 8);
  h.Add("COMMAND", 99);  // the newest entry hides the older one
  EXPECT_EQ(h.ValueOf("COMMAND"), 99);
}

}  // namespace
}  // namespace dz
