#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "docdata/Exception.h"
#include "docdata/MVJSONObject.h"
#include "platform/Platform.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

const std::string kListIndex0 =
    "Der Index der Liste \xFC"
    "berschreitet das Maximum (0)";

struct DocumentCase {
  const char* name;
  std::string json;
  std::string error;  // empty: the load succeeds
  bool valid;
  std::string caption;
  size_t positions;
};

const DocumentCase kDocuments[] = {
    {"complete",
     R"({"Order":[{"PrintName":"Rechnung","PrintUID":"4711","Adress":[{"AdressSmart":"Muster GmbH"}],"Parts":[]}]})",
     "", true, "Rechnung 4711 Muster GmbH", 0},
    {"without Parts",
     R"({"order":[{"PrintName":"Rechnung","PrintUID":4711,"adress":[{"adresssmart":"M"}]}]})", "",
     true, "Rechnung 4711 M", 0},
    {"empty address", R"({"Order":[{"Adress":[{}],"Parts":[{},{}]}]})", "", true, "  ", 2},
    {"empty Order", R"({"Order":[]})", kListIndex0, false, "Invalid JSON Data", 0},
    {"no Order", R"({"Other":1})", kListIndex0, false, "Invalid JSON Data", 0},
    {"no Adress", R"({"Order":[{"Parts":[]}]})", kListIndex0, false, "Invalid JSON Data", 0},
    {"Order is an object", R"({"Order":{"ID":1}})",
     "<TJsonValue>\"Order\" value type error: jvObject to jvArray", false, "Invalid JSON Data", 0},
    {"Parts is text", R"({"Order":[{"Adress":[{}],"Parts":"x"}]})",
     "<TJsonValue>\"Parts\" value type error: jvString to jvArray", false, "Invalid JSON Data", 0},
    {"array document", "[1]", "<TFastJSON>json struct type is not jsObject", false,
     "Invalid JSON Data", 0},
    {"broken text", "{\"Order\":[", "<TJsonObject>\"\" parse error: {\"Order\":[ ..", false,
     "Invalid JSON Data", 0},
    {"empty text", "", "", false, "Invalid JSON Data", 0},
};

TEST(HostDocument, LoadValidityAndCaption) {
  for (const auto& c : kDocuments) {
    TMVJSONObject doc;
    std::string error;
    try {
      doc.Load(c.json, true, false);
    } catch (const Exception& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(doc.IsValid(), c.valid) << c.name;
    EXPECT_EQ(doc.Caption(), c.caption) << c.name;
    if (c.valid) {
      EXPECT_EQ(doc.Positions()->Count(), c.positions) << c.name;
    }
  }
}

TEST(HostDocument, LoadFromFileFallsBackToBackup) {
  test::TempDir dir;
  const std::string doc =
      R"({"Order":[{"PrintName":"Angebot","PrintUID":"1","UID":"-1","Adress":[{"AdressSmart":"B"}]}]})";
  WriteWholeFile(dir.file("d.json"), "{\"Order\":[{\"PrintName\":\"Angebot\",");  // cut short
  WriteWholeFile(dir.file("d.~json"), doc);
  TMVJSONObject o;
  o.Load(dir.file("d.json"), false, true);
  EXPECT_TRUE(o.IsValid());
  EXPECT_EQ(o.Caption(), "Angebot 1 B");
  EXPECT_EQ(o.DocumentNumber(), "Neu");

  // Without the backup the cut file must not pass for a document.
  RemoveFile(dir.file("d.~json"));
  try {
    o.Load(dir.file("d.json"), false, true);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.what(), kListIndex0);
  }
  EXPECT_FALSE(o.IsValid());
  EXPECT_EQ(o.Caption(), "Invalid JSON Data");

  try {
    o.Load(dir.file("missing.json"), false, true);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.what(), kListIndex0);
  }
}

TEST(HostDocument, DateRule) {
  const std::pair<const char*, double> cases[] = {
      {"2024-03-01T12:30:00.000", 45352 + 12.5 / 24},
      {"1899-12-30T00:00:00.000", 0},
      {"1899-12-29T12:00:00.000", -1.5},
      {"2024-02-29T00:00:00.000", 45351},
      {"2023-02-29T00:00:00.000", 0},
      {"2024-13-01T00:00:00.000", 0},
      {"2024-03-01T24:00:00.000", 0},
      {"2024/03/01 00:00:01,500", 45352 + 1.5 / 86400},  // separators are not examined
      {"2024-03-01", 0},
      {"", 0},
  };
  for (auto& [text, expected] : cases)
    EXPECT_NEAR(JsonDateToDateTime(text), expected, 1e-9) << text;

  TMVJSONObject o;
  o.Load(R"({"Order":[{"Date":"2000-01-01T00:00:00.000","Adress":[{}]}]})", true, false);
  EXPECT_EQ(o.Date(), 36526);
}

TEST(HostDocument, PositionFilter) {
  const std::pair<const char*, bool> kinds[] = {
      {"", true},  {" t", false}, {"t", false},    {"T", true}, {"a", false},
      {"A", true}, {"-", false},  {"\x81", false}, {"x", true}, {"\t-\r\n", false},
      {" ", true}, {"ta", false}, {"1", true},
  };
  for (auto& [kind, position] : kinds) EXPECT_EQ(IsPositionKind(kind), position) << kind;

  TMVJSONObject o;
  o.Load(
      R"({"Order":[{"Adress":[{}],"Parts":[{"TypLine":" t"},{"TypLine":""},{},{"typline":"a"}]}]})",
      true, false);
  bool expected[] = {false, true, true, false};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(TMVJSONObject::IsPosition(o.Positions()->Item(i)), expected[i]) << i;
}

TEST(HostDocument, PositionToLine) {
  test::ScopedNumberFormat fmt(',', '.');
  TMVJSONObject o;
  o.Load(R"({"Order":[{"Adress":[{}],"Parts":[
    {"quantity":" 12.5 ","Unit":"Stk","Description1":"Schraube","Description2":"M4",
     "DeliverNumber":"B-1","Number":"AB-1","SerialNumber":"S9","Price":1.5,"TaxRate":"19",
     "Total":"18,75","Intern":"i","ID":77,"Rabatt":"2.5","LongText":"A\r\nB","TypLine":"x",
     "Position":"3","User":"X","CurrentRow":5,"Row":6,"L2":"l2"},
    {"Description1":"leer"},
    {"Quantity":{}}]}]})",
         true, false);
  TDataGridLine line;
  FillLineFromPosition(o.Positions()->Item(0), line);
  TDataGridLine expected;
  expected.Stueck = "12,5";
  expected.Einheit = "Stk";
  expected.Bezeichnung1 = "Schraube";
  expected.Bezeichnung2 = "M4";
  expected.BestellNummer = "B-1";
  expected.Artikelnummer = "AB-1";
  expected.Seriennummer = "S9";
  expected.Einzelbetrag = "1,5";
  expected.Steuer = "19";
  expected.SummeBetrag = "18,75";
  expected.intern = "i";
  expected.ID_Artikel = "77";
  expected.Rabatt = "2,5";
  expected.Second = "A\r\nB";
  expected.TypeLine = "x";
  expected.Pos = "3";
  expected.User = "X";
  expected.ExtraData = "X";
  expected.Isnetto = true;
  EXPECT_TRUE(line.SameFields(expected));

  TDataGridLine empty;
  empty.DM = true;
  empty.User = "old";
  FillLineFromPosition(o.Positions()->Item(1), empty);
  EXPECT_EQ(empty.Bezeichnung1, "leer");
  EXPECT_EQ(empty.User, "");
  EXPECT_EQ(empty.ExtraData, "");
  EXPECT_FALSE(empty.DM);
  EXPECT_TRUE(empty.Isnetto);

  try {
    FillLineFromPosition(o.Positions()->Item(2), empty);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "<TJsonValue>\"Quantity\" value type error: jvObject to jvString");
  }
}

}  // namespace
}  // namespace dz
