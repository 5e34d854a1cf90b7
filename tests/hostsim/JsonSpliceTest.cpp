#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/hostsim/JsonSplice.h"

namespace dz::hostsim {
namespace {

TEST(JsonSplice, ImportPartsAreAppendedAsTheyCame) {
  const std::string p1 = R"({"Quantity":"2,5","Description1":"Schraube \"M8\" ]}"})";
  const std::string p2 = R"({"Quantity":"1","LongText":"a\\b,{["})";
  const std::string import =
      R"({"Order":[{"Parts":[)" + p1 + "," + p2 +
      R"(],"Adress":[{}],"NettoPrices":true,"TaxImport":false,)"
      R"("UpdateParts":false,"AppendMode":true}],"Description":"TCSVRequest"})";
  std::vector<std::string> parts;
  std::string error;
  ASSERT_TRUE(ImportParts(import, parts, &error)) << error;
  ASSERT_EQ(parts, (std::vector<std::string>{p1, p2}));

  struct Case {
    const char* what;
    std::string document;
    std::string expected;
  };
  const std::string both = p1 + "," + p2;
  const std::vector<Case> cases = {
      {"empty parts", R"({"Order":[{"ID":1,"Parts":[]}]})",
       R"({"Order":[{"ID":1,"Parts":[)" + both + "]}]}"},
      {"existing parts stay in front", R"({"Order":[{"Parts":[{"Quantity":"9"}],"ID":1}]})",
       R"({"Order":[{"Parts":[{"Quantity":"9"},)" + both + R"(],"ID":1}]})"},
      {"no parts member", R"({"Order":[{"ID":1}]})",
       R"({"Order":[{"ID":1,"Parts":[)" + both + "]}]}"},
      {"empty order object", R"({"Order":[{}]})", R"({"Order":[{"Parts":[)" + both + "]}]}"},
      {"trailing comma in the order", R"({"Order":[{"ID":1,}]})",
       R"({"Order":[{"ID":1,"Parts":[)" + both + "]}]}"},
      {"blanks and case of the names", "{ \"order\" : [ { \"parts\" : [ {\"x\":1} ] \r\n} ] }",
       "{ \"order\" : [ { \"parts\" : [ {\"x\":1}," + both + " ] \r\n} ] }"},
      {"brackets inside strings are no structure",
       R"({"Order":[{"Info1":"]}{[","Parts":[],"X":"\"]"}]})",
       R"({"Order":[{"Info1":"]}{[","Parts":[)" + both + R"(],"X":"\"]"}]})"},
  };
  for (const auto& c : cases) {
    std::string doc = c.document;
    EXPECT_TRUE(AppendParts(doc, parts, &error)) << c.what << ": " << error;
    EXPECT_EQ(doc, c.expected) << c.what;
  }
}

TEST(JsonSplice, UnusableInputChangesNothing) {
  struct Case {
    const char* what;
    std::string import;
    std::string document;
  };
  const std::string goodImport = R"({"Order":[{"Parts":[{"Quantity":"1"}]}]})";
  const std::string goodDoc = R"({"Order":[{"Parts":[]}]})";
  const std::vector<Case> cases = {
      {"import not an object", "[1,2]", goodDoc},
      {"import unclosed", R"({"Order":[{"Parts":[{"Quantity":"1"})", goodDoc},
      {"import without order", R"({"Parts":[]})", goodDoc},
      {"import order empty", R"({"Order":[]})", goodDoc},
      {"import parts not an array", R"({"Order":[{"Parts":{}}]})", goodDoc},
      {"document empty", goodImport, ""},
      {"document order not an array", goodImport, R"({"Order":{"Parts":[]}})"},
      {"document parts not an array", goodImport, R"({"Order":[{"Parts":"x"}]})"},
      {"document cut", goodImport, R"({"Order":[{"Parts":[)"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> parts;
    std::string error, doc = c.document;
    bool ok = ImportParts(c.import, parts, &error) && AppendParts(doc, parts, &error);
    EXPECT_FALSE(ok) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(doc, c.document) << c.what;
  }
  // An import without parts is fine and adds nothing.
  std::vector<std::string> parts;
  std::string doc = goodDoc;
  EXPECT_TRUE(ImportParts(R"({"Order":[{"AppendMode":true}]})", parts, nullptr));
  EXPECT_TRUE(parts.empty());
  EXPECT_TRUE(AppendParts(doc, parts, nullptr));
  EXPECT_EQ(doc, goodDoc);
}

}  // namespace
}  // namespace dz::hostsim
