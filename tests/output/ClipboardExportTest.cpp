#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "docdata/ComponentStream.h"
#include "docdata/NumberFormat.h"
#include "output/ClipboardExport.h"
#include "output/ExDataGridLines.h"
#include "output/HtmlClipboard.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

using namespace std::string_literals;

const std::string kHead =
    R"(<div><font face="verdana,Tahoma,arial,helvetica"><table width="100%" border=1 )"
    R"(cellpadding=1 bordercolor="#000000" cellspacing=-1 style="border-width: 0px; )"
    R"(border-collapse: collapse;"><tr>)"
    R"(<th align=left bgcolor="#e6f9ff">Position</th>)"
    R"(<th align=left bgcolor="#e6f9ff">Menge</th>)"
    R"(<th align=left bgcolor="#e6f9ff">Text</th>)"
    R"(<th align=left bgcolor="#e6f9ff">Nummer</th>)"
    R"(<th align=right bgcolor="#e6f9ff">Preis</th>)"
    R"(<th align=left bgcolor="#e6f9ff">Rabatt</th>)"
    R"(<th  align=right bgcolor="#e6f9ff">Summe</th></tr>)";
const std::string kTail = "</Table></div>";
const std::string kCsvHead = R"("Pos","Menge","Text","Nummer","Preis","Rabatt","Summe")";

// The text block of a line whose fields are all empty.
std::string EmptyBlock() {
  return "Position=\r\nMenge=\r\nEinheit=\r\n=\r\n=\r\n=\r\nSeriennummer=\r\n"
         "Artikelnummer=\r\nEinzelbetrag=0,00\r\nSteuer=\r\nRabatt=\r\nSummebetrag=0,00\r\n"
         "Beschreibung=\r\nEAN=\r\n--------------------\r\n";
}

TDataGridLine& PricedLine(TExDataGridLines& lines) {
  TDataGridLine& l = lines.Add();
  l.Pos = "1";
  l.Stueck = "1,5";
  l.Einheit = "Stk";
  l.Bezeichnung1 =
      "Gr\xF6\xDF"
      "e 3 x 4";
  l.Artikelnummer = "A-1";
  l.Einzelbetrag = "1234,5";
  l.Steuer = "19";
  l.SummeBetrag = "1851,75";
  return l;
}

TEST(HtmlClipboard, Escaping) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"Gr\xF6\xDF"
       "e 3 x 4",
       "Gr&ouml;&szlig;e&nbsp;3&nbsp;x&nbsp;4"},
      {"Caf\xE9", "Caf&#233;"},
      {"a<b", "a<b"},
      {"&\">", "&\">"},
      {"\xC4\xD6\xDC\xE4\xF6\xFC", "&Auml;&Ouml;&Uuml;&auml;&ouml;&uuml;"},
      {"\xA0\xA1\xFF", "&#160;&#161;&#255;"},
      {"\x80\x84\x93\x95\x96\x85\x99\x81\x9F",
       "&#8364;&#8222;&#8220;&#8226;&#8211;&#8230;&#8482;&#129;&#376;"},
      {"a\r\nb\nc\rd", "a<br>bc<br>d"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HTMLEscape(c.in), c.out) << c.in;
}

TEST(HtmlClipboard, EnvelopeOffsets) {
  const std::string fragment(1000, 'x');
  const std::string env = HTMLClipboardEnvelope(fragment);
  const std::string header =
      "Version:1.0\r\nStartHTML:00000097\r\nEndHTML:00001205\r\nStartFragment:00000172\r\n"
      "EndFragment:00001172\r\n";
  EXPECT_EQ(env, header +
                     "<sHtml><head><title>HTML clipboard</title></head><body><!--StartFragment-->" +
                     fragment + "<!--EndFragment--></body></sHtml>");
  // The offsets must point where a reader looks for them.
  EXPECT_EQ(env.size(), 1205u);
  EXPECT_EQ(env.substr(97, 7), "<sHtml>");
  EXPECT_EQ(env.substr(172, 1000), fragment);
  EXPECT_EQ(env.substr(1172), "<!--EndFragment--></body></sHtml>");
}

TEST(ExDataGridLines, PricedLine) {
  test::ScopedNumberFormat fmt;
  TExDataGridLines lines;
  PricedLine(lines);
  EXPECT_EQ(lines.HTMLTable(),
            kHead +
                "<tr><td align=left>1</td><td align=left>1,500</td>"
                "<td align=left>Gr&ouml;&szlig;e&nbsp;3&nbsp;x&nbsp;4</td>"
                "<td align=left>A-1</td><td  align=right>1.234,500</td><td align=left></td>"
                "<td align=right>1.851,750</td></tr>" +
                kTail);
  EXPECT_EQ(lines.GetAsHTML(), HTMLClipboardEnvelope(lines.HTMLTable()));
  EXPECT_EQ(lines.GetAsText(),
            "Position=1\r\nMenge=1,5\r\nEinheit=Stk\r\n=Gr\xF6\xDF"
            "e 3 x 4\r\n=\r\n=\r\n"
            "Seriennummer=\r\nArtikelnummer=A-1\r\nEinzelbetrag=1234,50\r\nSteuer=19\r\n"
            "Rabatt=\r\nSummebetrag=1851,75\r\nBeschreibung=\r\nEAN=\r\n"
            "--------------------\r\n");
  EXPECT_EQ(lines.GetAsCSV(), kCsvHead + "\r\n" +
                                  "\"1\",\"1,500\",\"Gr\xF6\xDF"
                                  "e 3 x 4\",\"A-1\","
                                  "\"1.234,500\",\"\",\"1.851,750\"");
}

TEST(ExDataGridLines, PointDecimalFromIni) {
  test::TempDir dir;
  std::ofstream(dir.file("REROVIR.INI")) << "[COUNTRY]\nEURO=false\n";
  const NumberFormat ini = NumberFormatFromIni(dir.file("REROVIR.INI"));
  test::ScopedNumberFormat fmt(ini.DecimalSeparator, ini.ThousandSeparator);
  TExDataGridLines lines;
  TDataGridLine& l = PricedLine(lines);
  l.Stueck = "1.5";
  l.Einzelbetrag = "1234.5";
  l.SummeBetrag = "1851.75";
  l.Rabatt = "2.5";
  const std::string table = lines.HTMLTable();
  EXPECT_NE(table.find("<td align=left>1.500</td>"), std::string::npos) << table;
  EXPECT_NE(table.find("<td  align=right>1'234.500</td><td align=left>2.500</td>"
                       "<td align=right>1'851.750</td>"),
            std::string::npos)
      << table;
  const std::string text = lines.GetAsText();
  EXPECT_NE(text.find("\r\nEinzelbetrag=1234.50\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nSummebetrag=1851.75\r\n"), std::string::npos) << text;
  EXPECT_EQ(lines.GetAsCSV(), kCsvHead + "\r\n" +
                                  "\"1\",\"1.500\",\"Gr\xF6\xDF"
                                  "e 3 x 4\",\"A-1\","
                                  "\"1'234.500\",\"2.500\",\"1'851.750\"");
}

TEST(ExDataGridLines, UnitPriceOfMarkerRowsStaysRaw) {
  test::ScopedNumberFormat fmt;
  const struct {
    std::string typeLine, price, expected;
  } cases[] = {
      {"a", "12,345 EUR", "12,345 EUR"}, {"-", "x", "x"},    {"\x81", "", ""},
      {"t", "12,345", "12,35"},          {"A", "7", "7,00"}, {"a ", "7", "7,00"},
      {"", "kein Preis", "0,00"},
  };
  for (const auto& c : cases) {
    TExDataGridLines lines;
    TDataGridLine& l = lines.Add();
    l.TypeLine = c.typeLine;
    l.Einzelbetrag = c.price;
    l.SummeBetrag = c.price;
    const std::string text = lines.GetAsText();
    EXPECT_NE(text.find("\r\nEinzelbetrag=" + c.expected + "\r\n"), std::string::npos)
        << "[" << c.typeLine << "] " << text;
    EXPECT_NE(text.find("\r\nSummebetrag=" + c.expected + "\r\n"), std::string::npos)
        << "[" << c.typeLine << "] " << text;
  }
}

TEST(ExDataGridLines, EmptyCollection) {
  TExDataGridLines lines;
  const ClipboardPayload p = RenderToClipboard(lines, "{G}");
  EXPECT_EQ(p.Text, "");
  EXPECT_EQ(p.CSV, kCsvHead);
  EXPECT_EQ(p.HTMLFormat, HTMLClipboardEnvelope(kHead + kTail));
  const std::string stream =
      "TPF0\x15TDataGridLinesWrapper\x00"s
      "\x04GUID\x06\x03{G}"
      "\x03Row\x02\x00"
      "\x00\x00"s;
  EXPECT_EQ(p.DataGridData, "\x2D\x00\x00\x00"s + stream);
}

TEST(ExDataGridLines, AllEmptyPosition) {
  TExDataGridLines lines;
  lines.Add();
  EXPECT_EQ(lines.HTMLTable(), kHead + kTail);
  EXPECT_EQ(lines.GetAsCSV(), kCsvHead + "\r\n" + R"("","","","","","","")");
  EXPECT_EQ(lines.GetAsText(), EmptyBlock());
}

TEST(ExDataGridLines, UserFieldsExtraDataAndPartsListNote) {
  test::ScopedNumberFormat fmt;
  const struct {
    const char* what;
    std::string user, extra, intern, lines;  // `lines`: what comes between Beschreibung= and EAN..
  } cases[] = {
      {"nothing", "", "", "", "EAN=\r\n"},
      {"extra pieces", "",
       "A\x08\x08"
       "B\x08",
       "", "Extra=A\r\nExtra=\r\nExtra=B\r\nEAN=\r\n"},
      {"leading piece empty", "", "\x08X", "", "Extra=\r\nExtra=X\r\nEAN=\r\n"},
      {"VPE with unit", "vpe=3\r\nVPEU= Karton \nean=4001", "", "",
       "VPE=3  Karton\r\nEAN=4001\r\n"},
      {"VPE without unit", "VPE=12", "", "", "VPE=12\r\nEAN=\r\n"},
      {"VPE zero", "VPE=0\rVPEU=Stk", "", "", "EAN=\r\n"},
      {"VPE no integer", "VPE=2,5", "", "", "EAN=\r\n"},
      {"VPE negative", "VPE=-4", "", "", "EAN=\r\n"},
      {"first name wins", "EAN=1\r\nEAN=2", "", "", "EAN=1\r\n"},
      {"alternative", "x\r\nbegin.alterpart\r\nend.alterpart", "", "",
       "EAN=\r\nAlternative Postion\r\n"},
      {"alternative is case sensitive", "BEGIN.ALTERPART", "", "", "EAN=\r\n"},
      {"intern non-zero integer", "", "", "17", "EAN=\r\n"},
      {"intern zero", "", "", "0",
       "EAN=\r\nSt\xFC"
       "ckliste ist vorhanden\r\n"},
      {"intern parts list", "", "", ";1;;Schraube",
       "EAN=\r\nSt\xFC"
       "ckliste ist vorhanden\r\n"},
  };
  for (const auto& c : cases) {
    TExDataGridLines lines;
    TDataGridLine& l = lines.Add();
    l.User = c.user;
    l.ExtraData = c.extra;
    l.intern = c.intern;
    const std::string text = lines.GetAsText();
    const std::string before = "Beschreibung=\r\n";
    const size_t from = text.find(before) + before.size();
    EXPECT_EQ(text.substr(from), c.lines + "--------------------\r\n") << c.what;
  }
}

TEST(ExDataGridLines, PartsListAndLongText) {
  test::ScopedNumberFormat fmt;
  TExDataGridLines lines;
  TDataGridLine& l = lines.Add();
  l.Pos = "2";
  l.Stueck = "2";
  l.Bezeichnung1 = "Set";
  l.Second = "Zeile 1\r\nZeile \"2\"";
  l.intern = "\x08;2;;Schraube M4;;S-4;0,25;;;2.1\r\n;1000;;Mutter;;M-4;1.234,5;;;2.2";
  const std::string wide = "<tr><td colspan=\"7\" align=left>";
  EXPECT_EQ(lines.HTMLTable(),
            kHead +
                "<tr><td align=left>2</td><td align=left>2,000</td><td align=left>Set</td>"
                "<td align=left></td><td  align=right></td><td align=left></td>"
                "<td align=right></td></tr>" +
                wide + "St&uuml;ckliste:</td></tr>" +
                "<tr><td align=left>2.1</td><td align=left>2,000</td>"
                "<td align=left>Schraube&nbsp;M4</td><td align=left>S-4</td>"
                "<td align=right>0,250</td><td align=left></td><td align=right>0,500</td></tr>"
                // "1.234,5" is no number under the tolerant conversion: price and total empty
                "<tr><td align=left>2.2</td><td align=left>1.000,000</td>"
                "<td align=left>Mutter</td><td align=left>M-4</td>"
                "<td align=right></td><td align=left></td><td align=right></td></tr>" +
                wide + "&nbsp;</td></tr>" +
                "<tr valign=top>\r\n<td colspan=\"7\" valign=middle style=\"border-color: "
                "#000000; border-style: solid;\"><br>\r\nZeile&nbsp;1<br>Zeile&nbsp;\"2\"</td>"
                "</tr>" +
                kTail);
  EXPECT_EQ(lines.GetAsCSV(), kCsvHead + "\r\n" + R"("2","2,000","Set","","","","")" + "\r\n" +
                                  "\"St\xFC"
                                  "ckliste\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n" +
                                  R"("2.1","2,000","Schraube M4","S-4","0,250","","0,500")" +
                                  "\r\n" + R"("2.2","1.000,000","Mutter","M-4","","","")");
}

TEST(ExDataGridLines, NonEmptyInternIsReadAsPartsList) {
  // The tables read any non-empty intern as a parts list: "17" is one part whose used
  // fields are all empty. (Only the plain text tells a record ID from a list.)
  TExDataGridLines lines;
  TDataGridLine& l = lines.Add();
  l.intern = "17";
  l.L2 = "x";
  EXPECT_EQ(lines.HTMLTable(),
            kHead + "<tr><td colspan=\"7\" align=left>St&uuml;ckliste:</td></tr>" +
                "<tr><td align=left></td><td align=left></td><td align=left></td>"
                "<td align=left></td><td align=right></td><td align=left></td>"
                "<td align=right></td></tr>" +
                "<tr><td colspan=\"7\" align=left>&nbsp;</td></tr>" +
                "<tr valign=top>\r\n<td colspan=\"7\" valign=middle style=\"border-color: "
                "#000000; border-style: solid;\"><br>\r\n</td></tr>" +
                kTail);
  EXPECT_EQ(lines.GetAsCSV(), kCsvHead + "\r\n" + R"("","","","","","","")" + "\r\n" +
                                  "\"St\xFC"
                                  "ckliste\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n" +
                                  R"("","","","","","","")");
}

TEST(ExDataGridLines, CsvQuotingAndSeparator) {
  TExDataGridLines lines;
  TDataGridLine& l = lines.Add();
  l.Pos = "a,b";
  l.Bezeichnung1 = "Zoll \"12\"";
  l.Artikelnummer = "a<b";
  EXPECT_EQ(lines.GetAsCSV(), kCsvHead + "\r\n" + R"("a,b","","Zoll ""12""","a<b","","","")");
  lines.ListSeparator = ';';
  EXPECT_EQ(lines.GetAsCSV(), R"("Pos";"Menge";"Text";"Nummer";"Preis";"Rabatt";"Summe")"
                              "\r\n"
                              R"("a,b";"";"Zoll ""12""";"a<b";"";"";"")");
  EXPECT_NE(lines.HTMLTable().find("<td align=left>a<b</td>"), std::string::npos);
}

TEST(ClipboardExport, CopyMarksLinesAndFillsEveryFormat) {
  test::ScopedNumberFormat fmt;
  TDataGridLine first, second;
  first.Stueck = "2";
  first.Bezeichnung1 = "Caf\xE9";
  first.DM = true;
  second.Pos = "9";
  std::vector<TDataGridLine*> rows = {&first, nullptr, &second};
  const ClipboardPayload p = CopySelectedLines(rows, "{SYS}");

  // The run's own lines are marked, not copies only.
  EXPECT_TRUE(first.Isnetto);
  EXPECT_FALSE(first.DM);
  EXPECT_TRUE(second.Isnetto);

  const std::string stream =
      "TPF0\x15TDataGridLinesWrapper\x00"s
      "\x0D"
      "DataGridLines\x0E"
      "\x01\x06Stueck\x06\x01"
      "2"
      "\x0C"
      "Bezeichnung1\x06\x04"
      "Caf\xE9"
      "\x02"
      "DM\x08\x07"
      "Isnetto\x09\x03Row\x02\x00\x00"s
      "\x01\x02"
      "DM\x08\x07"
      "Isnetto\x09\x03Row\x02\x00"
      "\x03Pos\x06\x01"
      "9\x00"s
      "\x00"
      "\x04GUID\x06\x05{SYS}"
      "\x03Row\x02\x00"
      "\x00\x00"s;
  ASSERT_EQ(p.DataGridData.substr(4), stream);
  EXPECT_EQ(p.DataGridData.substr(0, 4), std::string(1, char(stream.size())) + "\0\0\0"s);

  EXPECT_EQ(p.CSV, kCsvHead + "\r\n" + "\"\",\"2,000\",\"Caf\xE9\",\"\",\"\",\"\",\"\"\r\n" +
                       R"("9","","","","","","")");
  EXPECT_EQ(p.CSVUtf8, kCsvHead + "\r\n" +
                           "\"\",\"2,000\",\"Caf\xC3\xA9\",\"\",\"\",\"\",\"\"\r\n" +
                           R"("9","","","","","","")");
  const std::string textStart = "Position=\r\nMenge=2\r\nEinheit=\r\n=Caf\xC3\xA9\r\n";
  EXPECT_EQ(p.TextUtf8.substr(0, textStart.size()), textStart);
  const std::string table = kHead +
                            "<tr><td align=left></td><td align=left>2,000</td>"
                            "<td align=left>Caf&#233;</td><td align=left></td>"
                            "<td  align=right></td><td align=left></td><td align=right></td></tr>"
                            "<tr><td align=left>9</td><td align=left></td><td align=left></td>"
                            "<td align=left></td><td  align=right></td><td align=left></td>"
                            "<td align=right></td></tr>" +
                            kTail;
  EXPECT_EQ(p.HTMLFormat, HTMLClipboardEnvelope(table));
  EXPECT_EQ(p.HTMLUtf8, table);

  std::vector<std::string> names;
  for (const auto& b : p.Blocks()) names.emplace_back(b.name);
  EXPECT_EQ(names, (std::vector<std::string>{"CF_DATAGRIDDATA", "HTML Format", "CSV", "text/html",
                                             "text/plain", "text/csv"}));
  EXPECT_EQ(p.Blocks()[4].bytes, &p.TextUtf8);
}

TEST(ClipboardExport, EmptySelection) {
  const ClipboardPayload p = CopySelectedLines({}, "");
  EXPECT_EQ(p.Text, "");
  EXPECT_EQ(p.CSVUtf8, kCsvHead);
  EXPECT_EQ(p.DataGridData, "\x23\0\0\0TPF0\x15TDataGridLinesWrapper\x00\x03Row\x02\x00\x00\x00"s);
}

}  // namespace
}  // namespace dz
