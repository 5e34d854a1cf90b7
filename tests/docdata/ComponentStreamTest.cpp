#include <gtest/gtest.h>

#include <string>

#include "docdata/AddInfoLine.h"
#include "docdata/Column.h"
#include "docdata/ComponentStream.h"
#include "docdata/DataGridLines.h"
#include "docdata/Exception.h"

namespace dz {
namespace {

using namespace std::string_literals;

// Short string: length byte + bytes.
std::string S(std::string_view s) {
  return std::string(1, static_cast<char>(s.size())) + std::string(s);
}
// A property name followed by a string value.
std::string PStr(std::string_view name, std::string_view v) {
  return S(name) + "\x06" + S(v);
}

const std::string kInfoHead = "TPF0"s + S("TAddInfoLinesWrapper") + S("");
const std::string kColHead = "TPF0"s + S("TColumnsWrapper") + S("");
const std::string kEnd = "\0\0"s;  // end of property list, end of child list

std::string ReadError(const std::string& bytes, StreamRoot& root) {
  try {
    ReadComponent(bytes, root);
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no error)";
}

struct ErrorCase {
  const char* what;
  std::string bytes;
  bool columns;  // TColumnsWrapper root, else TAddInfoLinesWrapper
  const char* message;
};

TEST(ComponentStream, ReaderErrors) {
  const std::string item = "\x01"s + S("FieldName");  // start of a column item
  const ErrorCase cases[] = {
      {"empty", "", false, kStreamReadError},
      {"short signature", "TPF", false, kStreamReadError},
      {"signature only", "TPF0", false, kStreamReadError},
      {"wrong signature", "TPF1"s + S("X") + S("") + kEnd, false, kInvalidStreamFormat},
      {"unknown property", kInfoHead + PStr("Info3", "x") + kEnd, false, kPropertyDoesNotExist},
      {"empty path segment", kInfoHead + PStr("Info1.", "x") + kEnd, false, kInvalidPropertyPath},
      {"path through a text", kInfoHead + PStr("Info1.Length", "x") + kEnd, false,
       kInvalidPropertyPath},
      {"integer stored as string", kInfoHead + PStr("Info2", "5") + kEnd, false,
       kInvalidPropertyValue},
      {"text stored as integer", kInfoHead + S("Info1") + "\x02\x05" + kEnd, false,
       kInvalidPropertyValue},
      {"boolean stored as integer",
       kInfoHead + S("AddInfoLines") + "\x0E\x01" + S("Forcedelete") + "\x02\x01\0\0"s + kEnd,
       false, kInvalidPropertyValue},
      {"float where integer", kInfoHead + S("Info2") + "\x05" + std::string(10, '\0') + kEnd, false,
       kInvalidPropertyValue},
      {"sunknown item property",
       kInfoHead + S("AddInfoLines") + "\x0E\x01" + PStr("ORG", "1") + "\0\0"s + kEnd, false,
       kPropertyDoesNotExist},
      {"item without list byte", kInfoHead + S("AddInfoLines") + "\x0E\x06" + S("x") + kEnd, false,
       kInvalidPropertyValue},
      {"collection as string", kInfoHead + PStr("AddInfoLines", "x") + kEnd, false,
       kInvalidPropertyValue},
      {"string cut short", kInfoHead + S("Info1") + "\x06\x09" + "abc", false, kStreamReadError},
      {"long string length beyond data", kInfoHead + S("Info1") + "\x0C\xFF\xFF\xFF\x7F" + "ab",
       false, kStreamReadError},
      {"wide string count beyond data", kInfoHead + S("Info1") + "\x12\x00\x00\x00\x40"s + "ab",
       false, kStreamReadError},
      {"property list not ended", kInfoHead + PStr("Info1", "x"), false, kStreamReadError},
      {"child list missing", kInfoHead + "\0"s, false, kStreamReadError},
      {"child object", kInfoHead + "\0"s + S("TChild") + S("") + kEnd, false, kInvalidStreamFormat},
      {"prefix integer as string", "TPF0\xF2\x06"s + S("x") + S("W") + S("") + kEnd, false,
       kInvalidPropertyValue},
      {"unknown enumeration element",
       kColHead + S("Columns") + "\x0E" + item + "\x06\x01x" + S("Alignment") + "\x07" +
           S("taMiddle") + "\0\0"s + kEnd,
       true, kInvalidPropertyValue},
      {"unknown set element",
       kColHead + S("Columns") + "\x0E\x01" + S("Font.Style") + "\x0B" + S("fsBlink") + "\0" +
           "\0\0"s + kEnd,
       true, kInvalidPropertyValue},
      {"unknown font property",
       kColHead + S("Columns") + "\x0E\x01" + PStr("Title.Font.Face", "Arial") + "\0\0"s + kEnd,
       true, kPropertyDoesNotExist},
      {"path through caption",
       kColHead + S("Columns") + "\x0E\x01" + PStr("Title.Caption.X", "y") + "\0\0"s + kEnd, true,
       kInvalidPropertyPath},
      {"value for a nested object",
       kColHead + S("Columns") + "\x0E\x01" + PStr("Title", "y") + "\0\0"s + kEnd, true,
       kInvalidPropertyValue},
      {"text list without .Strings",
       kColHead + S("Columns") + "\x0E\x01" + S("PickList") + "\x01\0"s + "\0\0"s + kEnd, true,
       kInvalidPropertyValue},
      {"text list other member",
       kColHead + S("Columns") + "\x0E\x01" + S("PickList.Items") + "\x01\0"s + "\0\0"s + kEnd,
       true, kPropertyDoesNotExist},
      {"text list holding an integer",
       kColHead + S("Columns") + "\x0E\x01" + S("PickList.Strings") + "\x01\x02\x01\0"s + "\0\0"s +
           kEnd,
       true, kInvalidPropertyValue},
      {"colour as string",
       kColHead + S("Columns") + "\x0E\x01" + PStr("Color", "clRed") + "\0\0"s + kEnd, true,
       kInvalidPropertyValue},
      {"reference as string",
       kColHead + S("Columns") + "\x0E\x01" + PStr("PopupMenu", "Menu1") + "\0\0"s + kEnd, true,
       kInvalidPropertyValue},
      {"property of the collection itself", kColHead + PStr("Columns.Count", "1") + kEnd, true,
       kPropertyDoesNotExist},
  };
  for (const auto& c : cases) {
    TDataGridColumns cols;
    TColumnsWrapper cw(cols);
    TAddInfoLinesWrapper iw;
    StreamRoot& root = c.columns ? static_cast<StreamRoot&>(cw) : iw;
    EXPECT_EQ(ReadError(c.bytes, root), c.message) << c.what;
  }
}

TEST(ComponentStream, ReadsInfoLinesWithPrefixOrderNumbersAndEveryTextKind) {
  const std::string bytes =
      "TPF0\xF2\x03\x10\x00"s + S("TAddInfoLinesWrapper") + S("Wrapper1") +  //
      PStr("Info1", "Kopf") +                                                //
      S("Info2") + "\x02\x05" +                                              //
      S("Tag") + "\x03\x39\x30" +                                            //
      S("AddInfoLines") + "\x0E" +                                           //
      "\x01" + S("org_id") + "\x03\xEA\x03" +                                // 1002, any case
      S("_1") + "\x0C\x03\x00\x00\x00"s + "a,b" +                            //
      S("_2") + "\x14\x03\x00\x00\x00"s + "\xC3\xA4x" +                      // UTF-8 "äx"
      S("_3") + "\x12\x02\x00\x00\x00"s + "\xFC\x00\x81\x00"s +              // UTF-16 "ü\x81"
      S("Forcedelete") + "\x09" + "\0"s +                                    //
      "\x02\x01" + "\x01" + S("ORG_ID") + "\x04\xE9\x03\x00\x00"s + "\0"s +  // order number 1
      "\0"s + kEnd;
  TAddInfoLinesWrapper w;
  ReadComponent(bytes, w);
  EXPECT_EQ(w.Name, "Wrapper1");
  EXPECT_EQ(w.Tag, 12345);
  EXPECT_EQ(w.Info1, "Kopf");
  EXPECT_EQ(w.Info2, 5);
  ASSERT_EQ(w.AddInfoLines.Count(), 2u);
  const TAddInfoLine& a = w.AddInfoLines[0];
  EXPECT_EQ(a.ORG_ID, 1002);
  EXPECT_EQ(a._1, "a,b");
  EXPECT_EQ(a._2, "\xE4x");
  EXPECT_EQ(a._3, "\xFC\x81");
  EXPECT_TRUE(a.Forcedelete);
  EXPECT_EQ(w.AddInfoLines[1].ORG_ID, 1001);
  EXPECT_FALSE(w.AddInfoLines[1].Forcedelete);
}

TEST(ComponentStream, CollectionIsClearedOnlyWhenTheStreamHasItems) {
  struct Case {
    std::string collection;
    std::vector<int> ids;
  };
  const Case cases[] = {
      {"\x0E\0"s, {7, 8}},
      {"\x0E\x01"s + S("ORG_ID") + "\x02\x05" + "\0\0"s, {5}},
  };
  for (const auto& c : cases) {
    TAddInfoLinesWrapper w;
    w.AddInfoLines.Add().ORG_ID = 7;
    w.AddInfoLines.Add().ORG_ID = 8;
    ReadComponent(kInfoHead + S("AddInfoLines") + c.collection + kEnd, w);
    std::vector<int> ids;
    for (size_t i = 0; i < w.AddInfoLines.Count(); ++i) ids.push_back(w.AddInfoLines[i].ORG_ID);
    EXPECT_EQ(ids, c.ids);
  }
}

TEST(ComponentStream, ReadsColumnPropertiesThroughPathsListsAndIdentifiers) {
  const std::string bytes = kColHead + S("Columns") + "\x0E" + "\x01" +          //
                            PStr("FieldName", "Stueck") +                        //
                            S("Alignment") + "\x07" + S("taRightJustify") +      //
                            S("NumericKind") + "\x07" + S("DECURRENCY") +        //
                            S("Color") + "\x07" + S("clWindowText") +            //
                            S("Font.Charset") + "\x07" + S("DEFAULT_CHARSET") +  //
                            S("Font.Color") + "\x07" + S("clNoSuchColour") +     // tolerated
                            S("Font.Style") + "\x0B" + S("fsBold") + S("fsItalic") + "\0"s +  //
                            S("PickList.Strings") + "\x01\x06" + S("Stk") + "\x06" + S("m") +
                            "\0"s +                                      //
                            S("PopupMenu") + "\x07" + S("PopupMenu1") +  // dropped
                            PStr("Title.Caption",
                                 "St\xFC"
                                 "ck") +  //
                            S("Title.Color") +
                            "\x04\x0F\x00\x00\x80"s +              //
                            PStr("Title.Font.Name", "Arial") +     //
                            S("Title.Font.Height") + "\x02\xF3" +  //
                            S("Width") + "\x03\x2C\x01" +          //
                            S("ReadOnly") + "\x09" + "\0"s + "\0"s + kEnd;
  TDataGridColumns cols;
  TColumnsWrapper w(cols);
  ReadComponent(bytes, w);
  ASSERT_EQ(cols.Count(), 1u);
  const TColumn& c = cols[0];
  EXPECT_EQ(c.FieldName, "Stueck");
  EXPECT_EQ(c.Alignment, taRightJustify);
  EXPECT_EQ(c.NumericKind, deCurrency);
  EXPECT_EQ(c.Color, static_cast<int32_t>(0x80000008));
  EXPECT_EQ(c.Font.Charset, 1);
  EXPECT_EQ(c.Font.Color, 0);  // unknown identifier leaves the value
  EXPECT_EQ(c.Font.Style, fsBold | fsItalic);
  EXPECT_EQ(c.PickList, (std::vector<std::string>{"Stk", "m"}));
  EXPECT_EQ(c.PopupMenu, "");
  EXPECT_EQ(c.Title.Caption,
            "St\xFC"
            "ck");
  EXPECT_EQ(c.Title.Color, static_cast<int32_t>(0x8000000F));
  EXPECT_EQ(c.Title.Font.Name, "Arial");
  EXPECT_EQ(c.Title.Font.Height, -13);
  EXPECT_EQ(c.Width, 300);
  EXPECT_TRUE(c.ReadOnly);
  EXPECT_EQ(c.DropDownRows, 7);  // absent: value on creation
}

TEST(ComponentStream, WritesALineWithOnlyTheAlwaysWrittenProperties) {
  TDataGridLines lines;
  lines.Add().Stueck = "2";
  TDataGridLinesWrapper w(lines);
  const std::string expected = "TPF0"s + S("TDataGridLinesWrapper") + S("") +  //
                               S("DataGridLines") + "\x0E" +                   //
                               "\x01" + PStr("Stueck", "2") + S("DM") + "\x08" + S("Isnetto") +
                               "\x08" +                          //
                               S("Row") + "\x02\x00"s + "\0"s +  //
                               "\0"s +                           //
                               S("Row") + "\x02\x00"s + kEnd;
  EXPECT_EQ(WriteComponent(w), expected);
}

TEST(ComponentStream, WriterPicksSmallestIntegerAndStringKinds) {
  struct Case {
    int32_t row;
    std::string encoded;
  };
  const Case cases[] = {
      {127, "\x02\x7F"},
      {-128, "\x02\x80"},
      {128, "\x03\x80\x00"s},
      {-32768, "\x03\x00\x80"s},
      {32768, "\x04\x00\x80\x00\x00"s},
      {INT32_MIN, "\x04\x00\x00\x00\x80"s},
  };
  for (const auto& c : cases) {
    TDataGridLines lines;
    lines.Row = c.row;
    TDataGridLinesWrapper w(lines);
    EXPECT_EQ(WriteComponent(w),
              "TPF0"s + S("TDataGridLinesWrapper") + S("") + S("Row") + c.encoded + kEnd)
        << c.row;
  }
  TDataGridLines lines;
  lines.GUID = std::string(255, 'g');
  lines.Data = std::string(256, 'd');
  TDataGridLinesWrapper w(lines);
  std::string out = WriteComponent(w);
  EXPECT_NE(out.find(S("GUID") + "\x06\xFF" + std::string(255, 'g')), std::string::npos);
  EXPECT_NE(out.find(S("Data") + "\x0C\x00\x01\x00\x00"s + std::string(256, 'd')),
            std::string::npos);
}

TEST(ComponentStream, LineCollectionRoundTripsEveryField) {
  TDataGridLines lines;
  lines.GUID = "{G}";
  lines.Row = 70000;
  lines.Data = "D\x81\0x"s;
  TDataGridLine& l = lines.Add();
  int i = 0;
  for (size_t p = 0; p < l.Properties().size(); ++p) {
    PropRef r = l.Property(p);
    if (auto* s = std::get_if<std::string*>(&r)) **s = "v" + std::to_string(i++) + "\xE4\r\n";
  }
  l.DM = true;
  l.Row = -5;
  l.Second = std::string(300, 'L');
  lines.Add();  // an empty line between
  lines.Add().Isnetto = true;
  std::string bytes = WriteComponent(TDataGridLinesWrapper(lines));

  TDataGridLines back;
  TDataGridLinesWrapper wb(back);
  ReadComponent(bytes, wb);
  EXPECT_EQ(back.GUID, lines.GUID);
  EXPECT_EQ(back.Row, lines.Row);
  EXPECT_EQ(back.Data, lines.Data);
  ASSERT_EQ(back.Count(), 3u);
  for (size_t k = 0; k < 3; ++k) EXPECT_TRUE(back[k].SameFields(lines[k])) << k;
  EXPECT_EQ(back[0].Owner(), &back);
}

TEST(ComponentStream, ColumnSetRoundTripsThroughTheWriter) {
  TDataGridColumns cols;
  TColumn& c = cols.Add();
  c.FieldName = "Steuer";
  c.PickList = {"7", "19"};
  c.Format = cfcombo;
  c.Title.Font.Style = fsUnderline;
  c.Width = -1;
  c.ButtonStyle = cbsEllipsis;
  c.DropDownRows = 12;
  c.PopupMenu = "Menu1";  // written as a reference, dropped on reading
  TColumnsWrapper w(cols);
  std::string bytes = WriteComponent(w);
  TDataGridColumns back;
  TColumnsWrapper wb(back);
  ReadComponent(bytes, wb);
  ASSERT_EQ(back.Count(), 1u);
  EXPECT_EQ(back[0].FieldName, "Steuer");
  EXPECT_EQ(back[0].PickList, c.PickList);
  EXPECT_EQ(back[0].Format, cfcombo);
  EXPECT_EQ(back[0].Title.Font.Style, fsUnderline);
  EXPECT_EQ(back[0].Width, -1);
  EXPECT_EQ(back[0].ButtonStyle, cbsEllipsis);
  EXPECT_EQ(back[0].DropDownRows, 12);
  EXPECT_EQ(back[0].PopupMenu, "");
}

TEST(DataGridLine, AssignCopiesEveryFieldAndRefusesForeignSources) {
  TDataGridLines lines;
  TDataGridLine src;
  int i = 0;
  for (size_t p = 0; p < src.Properties().size(); ++p) {
    PropRef r = src.Property(p);
    if (auto* s = std::get_if<std::string*>(&r)) **s = "f" + std::to_string(i++);
  }
  src.DM = src.Isnetto = true;
  src.Row = 42;
  TDataGridLine& dst = lines.Add();
  dst.Assign(src);
  EXPECT_TRUE(dst.SameFields(src));
  EXPECT_EQ(dst.Owner(), &lines);
  EXPECT_EQ(lines.UpdateCount(), 0);

  TColumn column;
  try {
    dst.Assign(column);
    FAIL() << "assignment from a column accepted";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TColumn kann nicht zu TDataGridLine zugewiesen werden");
  }
  EXPECT_TRUE(dst.SameFields(src));
  EXPECT_THROW(lines.Assign(column), Exception);
  EXPECT_THROW(column.Assign(src), Exception);
}

TEST(DataGridLine, CollectionAssignCopiesLinesAndItsValues) {
  TDataGridLines a;
  a.GUID = "G";
  a.Row = 3;
  a.Data = "D";
  a.Add().Stueck = "1";
  a.Add().Stueck = "2";
  TCustomDataGridLines b;
  b.Add().Stueck = "old";
  b.Assign(a);
  ASSERT_EQ(b.Count(), 2u);
  EXPECT_EQ(b.Items(1).Stueck, "2");
  EXPECT_EQ(b.Items(1).Owner(), &b);
  EXPECT_EQ(b.GUID, "G");
  EXPECT_EQ(b.Row, 3);
  EXPECT_EQ(b.Data, "D");
  EXPECT_EQ(a.GetAsText(), "");
  EXPECT_EQ(a.GetAsHTML(), "");
  EXPECT_EQ(a.GetAsCSV(), "");
}

}  // namespace
}  // namespace dz
