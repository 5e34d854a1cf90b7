#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/PartsList.h"

namespace dz {
namespace {

using namespace std::string_literals;

// The records of a text, each as its fields up to the last non-empty one.
std::vector<std::vector<std::string>> Records(const std::string& text) {
  std::vector<std::vector<std::string>> out;
  for (const auto& r : ReadPartsListRecords(text)) {
    size_t n = r.size();
    while (n > 0 && r[n - 1].empty()) --n;
    out.emplace_back(r.begin(), r.begin() + n);
  }
  return out;
}

using R = std::vector<std::vector<std::string>>;

TEST(PartsList, Records) {
  const struct {
    const char* what;
    std::string text;
    R expected;
  } cases[] = {
      {"empty", "", {}},
      {"leading break", "\r\nA;B", {}},
      {"one record", "A;B", {{"A", "B"}}},
      {"only after the first backspace",
       "X;Y\x08"
       "A\x08"
       "B;C",
       {{"A\x08"
         "B",
         "C"}}},
      {"run of breaks is one", "A\r\n\r\n\nB\0C\r"s, {{"A"}, {"B"}, {"C"}}},
      {"empty fields", ";;x;", {{"", "", "x"}}},
      {"quoted with separator and quotes", "\"a;\"\"b\"\"\";c", {{"a;\"b\"", "c"}}},
      {"text after closing quote kept", "\"ab\"cd;e", {{"abcd", "e"}}},
      {"unclosed quote", "\"ab;c", {{"ab;c"}}},
      {"escapes", "%%;%0;%c%n;%x;ab%", {{"%", "\0"s, "\r\n", "x", "ab"}}},
      {"escape spelled by a doubled percent stays", "%%c", {{"%c"}}},
      {"twelve fields at most",
       "0;1;2;3;4;5;6;7;8;9;10;11;12;13",
       {{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Records(c.text), c.expected) << c.what;
}

}  // namespace
}  // namespace dz
