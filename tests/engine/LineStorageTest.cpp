#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "docdata/FastJSON.h"
#include "docdata/NumberFormat.h"
#include "engine/LineStorage.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

std::unique_ptr<TDataGridLine> MakeLine(const std::string& desc, const std::string& qty,
                                        const std::string& number = "") {
  auto l = std::make_unique<TDataGridLine>();
  l->Bezeichnung1 = desc;
  l->Stueck = qty;
  l->Artikelnummer = number;
  return l;
}

DocumentRef Doc(const std::string& number, double date = 0) {
  DocumentRef r;
  r.Number = number;
  r.Date = date;
  return r;
}

struct Views {
  TLineStorage source, invoiced, merged, missing;
  void Compute() { ComputeViews(source, invoiced, merged, missing); }
};

TEST(LineStorage, MergesEqualDescriptionsAcrossCaseAndBlanks) {
  test::ScopedNumberFormat f;
  Views v;
  v.invoiced.Add(Doc("R-1"), MakeLine("Schraube", "2"));
  v.invoiced.Add(Doc("R-1"), MakeLine("Mutter", "1"));  // shares its document's reference
  v.invoiced.Add(Doc("R-2"), MakeLine("schraube", "3"));
  v.invoiced.Add(Doc("R-3"), MakeLine("Schraube M4", "1"));
  v.invoiced.Add(Doc("R-4"), MakeLine("SchraubeM4", "1,5"));
  v.Compute();
  // Joining numbers in a merged entry leaves the invoiced entries' references alone.
  EXPECT_EQ(v.invoiced.Entry(0).Ref->Number, "R-1");
  EXPECT_EQ(v.invoiced.Entry(1).Ref->Number, "R-1");
  EXPECT_EQ(v.merged.Entry(1).Ref->Number, "R-1");
  ASSERT_EQ(v.merged.Count(), 3);
  EXPECT_EQ(v.merged.Entry(0).Line->Stueck, "5");
  EXPECT_EQ(v.merged.Entry(0).Ref->Number, "R-1 R-2");
  EXPECT_EQ(v.merged.Entry(2).Line->Stueck, "2,5");
  EXPECT_EQ(v.merged.Entry(2).Ref->Number, "R-3 R-4");
  EXPECT_EQ(v.merged.Entry(0).Difference, 0);
}

// The views share the lines they come from: each entry still reads its own quantity, and
// writing to one entry's line never reaches another's.
TEST(LineStorage, ViewsShareLinesButNotWrites) {
  test::ScopedNumberFormat f;
  Views v;
  v.source.Add(Doc("AB-1"), MakeLine("Kabel", "10"));
  v.source.Add(Doc("AB-1"), MakeLine("Mutter", "4"));
  v.invoiced.Add(Doc("R-1"), MakeLine("Kabel", "3"));
  v.invoiced.Add(Doc("R-2"), MakeLine("kabel", "2"));
  v.Compute();
  ASSERT_EQ(v.merged.Count(), 1);
  ASSERT_EQ(v.missing.Count(), 2);
  EXPECT_EQ(v.merged.Entry(0).Line.Quantity(), "5");
  EXPECT_EQ(v.missing.Entry(0).Line.Quantity(), "5");
  EXPECT_EQ(v.missing.Entry(1).Line.Quantity(), "4");
  v.missing.Entry(1).Line->Bezeichnung2 = "neu";
  v.merged.Entry(0).Line->Stueck = "7";
  v.invoiced.Entry(0).Line->Bezeichnung2 = "alt";
  EXPECT_EQ(v.source.Entry(1).Line.Shared().Text(LineField::Bezeichnung2), "");
  EXPECT_EQ(v.invoiced.Entry(0).Line->Stueck, "3");
  EXPECT_EQ(v.merged.Entry(0).Line.Quantity(), "7");
  EXPECT_EQ(v.merged.Entry(0).Line->Bezeichnung2, "");
  EXPECT_EQ(v.missing.Entry(0).Line->Stueck, "5");
  EXPECT_EQ(v.source.Entry(0).Line->Stueck, "10");
}

// Quantities short enough to lie in the entry and longer ones, which stay in the line or
// the storage, read back the same through the views.
TEST(LineStorage, LongAndShortQuantities) {
  test::ScopedNumberFormat f;
  const std::string longer = "3,00000000000000000000";  // 22 characters
  Views v;
  v.source.Add(Doc("AB-1"), MakeLine("Kabel", "10,0000000000000000"));
  v.source.Add(Doc("AB-1"), MakeLine("Mutter", "123456789012345"));  // 15: the most inline
  v.invoiced.Add(Doc("R-1"), MakeLine("Kabel", longer));
  v.invoiced.Add(Doc("R-2"), MakeLine("Schraube", "2"));
  v.Compute();
  ASSERT_EQ(v.merged.Count(), 2);
  EXPECT_EQ(v.merged.Entry(0).Line.Quantity(), longer);
  ASSERT_EQ(v.missing.Count(), 2);
  EXPECT_EQ(v.missing.Entry(0).Line.Quantity(), "7");
  EXPECT_EQ(v.missing.Entry(1).Line.Quantity(), "123456789012345");
  v.merged.SetQuantity(v.merged.Entry(1), "12345678901234567890");
  v.merged.SetQuantity(v.merged.Entry(0), v.merged.Entry(0).Line.Quantity());
  EXPECT_EQ(v.merged.Entry(1).Line.Quantity(), "12345678901234567890");
  EXPECT_EQ(v.merged.Entry(0).Line->Stueck, longer);
  EXPECT_EQ(v.invoiced.Entry(0).Line.Quantity(), longer);
}

TEST(LineStorage, EqualityRule) {
  TLineStorage s;
  s.Add(Doc("A"), MakeLine("Mutter", "1", "AB-1"));
  s.Add(Doc("B"), MakeLine("", "1", ""));             // never equal to anything
  s.Add(Doc("C"), MakeLine("\xC4nderung", "1", ""));  // Ä
  int idx = 7;
  // Part numbers decide regardless of descriptions.
  EXPECT_NE(s.FindMatch(*MakeLine("Ganz anders", "1", "ab-1"), &idx), nullptr);
  EXPECT_EQ(idx, 0);
  // An empty probe matches nothing: B has neither part number nor description.
  EXPECT_EQ(s.FindMatch(*MakeLine("", "1", ""), &idx), nullptr);
  EXPECT_EQ(idx, -1);
  // Accented letters are lower-cased in Windows-1252.
  EXPECT_NE(s.FindMatch(*MakeLine("\xE4nder ung", "1", "X"), &idx), nullptr);
  EXPECT_EQ(idx, 2);
  // A probe without part number is compared by description with a candidate that has one.
  EXPECT_NE(s.FindMatch(*MakeLine("MUTTER", "1", ""), &idx), nullptr);
  EXPECT_EQ(idx, 0);
}

TEST(LineStorage, MissingQuantities) {
  test::ScopedNumberFormat f;
  struct Case {
    const char* name;
    std::vector<std::string> source;    // quantities of "Kabel" in the reference
    std::vector<std::string> invoiced;  // quantities of "Kabel" invoiced
    std::vector<std::string> missingQty;
    std::vector<double> missingDiff;
  };
  const Case cases[] = {
      {"partly invoiced", {"10"}, {"4", "3"}, {"3"}, {7}},
      {"fully invoiced", {"5"}, {"5"}, {}, {}},
      {"over invoiced", {"5"}, {"6"}, {}, {}},
      {"one hundredth left", {"1,01"}, {"1"}, {"0,01"}, {1}},
      {"half a hundredth left", {"1,005"}, {"1"}, {}, {}},
      {"two equal references", {"5", "5"}, {"5"}, {}, {}},
      {"nothing invoiced", {"2", "3"}, {}, {"2", "3"}, {0, 0}},
      {"thousands separator reads as 0", {"1.234,5"}, {"1"}, {}, {}},
  };
  for (const auto& c : cases) {
    Views v;
    for (const auto& q : c.source) v.source.Add(Doc("AB-1"), MakeLine("Kabel", q));
    for (const auto& q : c.invoiced) v.invoiced.Add(Doc("R"), MakeLine("Kabel", q));
    v.Compute();
    ASSERT_EQ(v.missing.Count(), static_cast<int>(c.missingQty.size())) << c.name;
    for (int i = 0; i < v.missing.Count(); ++i) {
      EXPECT_EQ(v.missing.Entry(i).Line->Stueck, c.missingQty[static_cast<size_t>(i)]) << c.name;
      EXPECT_DOUBLE_EQ(v.missing.Entry(i).Difference, c.missingDiff[static_cast<size_t>(i)])
          << c.name;
    }
  }
}

TEST(LineStorage, EmptyStorages) {
  Views v;
  v.source.Add(Doc("A"), MakeLine("Kabel", "1"));
  v.Compute();
  EXPECT_EQ(v.merged.Count(), 0);
  EXPECT_EQ(v.missing.Count(), 1);
  Views w;
  w.invoiced.Add(Doc("R"), MakeLine("Kabel", "1"));
  w.Compute();
  EXPECT_EQ(w.merged.Count(), 1);
  EXPECT_EQ(w.missing.Count(), 0);
}

TEST(LineStorage, SortByDescriptionNumberDate) {
  TLineStorage s;
  const double noDate = std::nan("");  // a damaged document's: after the others, as equals
  s.Add(Doc("1", 3), MakeLine("apple", "1", "B"));
  s.Add(Doc("a", noDate), MakeLine("apple", "1", "A"));
  s.Add(Doc("2", 2), MakeLine("Zebra", "1"));
  s.Add(Doc("3", 1), MakeLine("apple", "1", "A"));
  s.Add(Doc("4", 0), MakeLine("apple", "1", "A"));
  s.Add(Doc("b", noDate), MakeLine("apple", "1", "A"));
  s.Add(Doc("5", 0), MakeLine("\xC4pfel", "1"));  // 0xC4 sorts after ASCII
  s.Add(Doc("6", 0), MakeLine("app", "1"));
  s.Add(Doc("7", 0), MakeLine("apple pie X", "1"));  // equal in the first eight bytes
  s.Add(Doc("8", 0), MakeLine("apple pie A", "1"));
  s.Add(Doc("9", 0), MakeLine(std::string("app\0", 4), "1"));  // a zero byte after "app"
  s.Sort();
  std::string order;
  for (int i = 0; i < s.Count(); ++i) order += s.Entry(i).Ref->Number;
  EXPECT_EQ(order, "26943ab1875");
}

// Descriptions that agree in long stretches, around the bytes the sort compares first,
// against a plain stable sort of the texts.
TEST(LineStorage, SortEqualsAPlainSortOfTheTexts) {
  const std::string base = "apple pie and cream topping";
  const char tails[] = {'a', 'b', '\0', '\xC4'};
  std::mt19937 rng(3);
  for (int round = 0; round < 100; ++round) {
    TLineStorage s;
    struct Want {
      std::string description, number;
      double date;
      int index;
    };
    std::vector<Want> want;
    for (int i = 0; i < 40; ++i) {
      std::string d = base.substr(0, rng() % (base.size() + 1));
      for (int k = static_cast<int>(rng() % 3); k > 0; --k) d += tails[rng() % 4];
      const std::string number = rng() % 2 ? "A" : "B";
      const double date = rng() % 3;
      s.Add(Doc(std::to_string(i), date), MakeLine(d, "1", number));
      want.push_back({d, number, date, i});
    }
    std::stable_sort(want.begin(), want.end(), [](const Want& a, const Want& b) {
      if (a.description != b.description) return a.description < b.description;
      if (a.number != b.number) return a.number < b.number;
      return a.date < b.date;
    });
    s.Sort();
    for (int i = 0; i < s.Count(); ++i)
      ASSERT_EQ(s.Entry(i).Ref->Number, std::to_string(want[static_cast<size_t>(i)].index))
          << "round " << round << " at " << i;
  }
}

TEST(LineStorage, AddNormalisesNumbers) {
  test::ScopedNumberFormat f;
  TLineStorage s;
  auto l = MakeLine("x", " 12.5 ");
  l->Einzelbetrag = "1,5";
  s.Add(Doc("A"), std::move(l));
  EXPECT_EQ(s.Entry(0).Line->Stueck, "12,5");
  EXPECT_EQ(s.Entry(0).Line->Einzelbetrag, "1,5");
}

TEST(LineStorage, AddFromDocumentPosition) {
  test::ScopedNumberFormat f;
  TFastJSON json;
  json.Parse(R"({"Parts":[{"Quantity":" 2.5 ","Description1":"Kabel","User":"X","Total":"1.5"}]})");
  TLineStorage s;
  s.AddFromPosition(Doc("R-1"), json.Member("Parts").AsArray().Item(0));
  const TDataGridLine& l = *s.Entry(0).Line;
  EXPECT_EQ(l.Stueck, "2,5");
  EXPECT_EQ(l.SummeBetrag, "1,5");
  EXPECT_EQ(l.Bezeichnung1, "Kabel");
  EXPECT_EQ(l.ExtraData, "X");
  EXPECT_TRUE(l.Isnetto);
  EXPECT_FALSE(l.DM);
  EXPECT_EQ(s.Entry(0).Ref->Number, "R-1");
}

// The rest of a position, worked out from the quantities' digits where that is safe, must
// be what the rule gives: at 0.01 either way, beyond 15 digits, and beyond the bound where
// the rule's rounding shows.
TEST(LineStorage, MissingRestsEqualTheRule) {
  test::ScopedNumberFormat f;
  const std::pair<const char*, const char*> cases[] = {{"0,02", "0,01"},
                                                       {"8,03", "8,02"},
                                                       {"8,1", "8,09"},
                                                       {"2,5", "0,001"},
                                                       {"3", "2,99"},
                                                       {"999999999999,999", "-999999999999,999"},
                                                       {"100000000000,001", "99999999999,99"},
                                                       {"1,2345", "1"},
                                                       {"7", "8"}};
  for (const auto& [have, taken] : cases) {
    Views fast, plain;
    for (Views* v : {&fast, &plain}) {
      v->source.Add(Doc("A"), MakeLine("Kabel", have));
      v->invoiced.Add(Doc("R"), MakeLine("Kabel", taken));
    }
    ComputeViews(fast.source, fast.invoiced, fast.merged, fast.missing, false);
    ComputeViews(plain.source, plain.invoiced, plain.merged, plain.missing, true);
    ASSERT_EQ(fast.missing.Count(), plain.missing.Count()) << have << " - " << taken;
    if (fast.missing.Count() == 0) continue;
    EXPECT_EQ(fast.missing.Entry(0).Line->Stueck, plain.missing.Entry(0).Line->Stueck) << have;
    EXPECT_EQ(fast.missing.Entry(0).Difference, plain.missing.Entry(0).Difference) << have;
  }
}

// The indexed search must give exactly what the plain walk gives, entry and index, on
// storages full of near-misses.
TEST(LineStorage, IndexedSearchEqualsPlainWalk) {
  test::ScopedNumberFormat f;
  const std::vector<std::string> numbers = {"",
                                            "",
                                            "AB-1",
                                            "ab-1",
                                            "Ab-1",
                                            "X",
                                            "\xC4"
                                            "1",
                                            "\xE4"
                                            "1",
                                            "7",
                                            " 7"};
  const std::vector<std::string> descs = {"",           "",       " ",     "Kabel", "kabel",
                                          "Ka bel",     "KABEL ", "\xD6l", "\xF6L", "Schraube M4",
                                          "schraubem4", "x"};
  // Short decimals (added exactly), sums that cancel, and texts read the ordinary way.
  const std::vector<std::string> quantities = {"1",
                                               "2,5",
                                               "0,1",
                                               "0.2",
                                               "-0,3",
                                               " 4 ",
                                               "1,2345",
                                               "1e2",
                                               "x",
                                               "",
                                               "-0",
                                               "999999999999,999",
                                               "0,001",
                                               "5.",
                                               "1.234,5",
                                               "-123456789012,344",
                                               "1234,567",
                                               "+7,25",
                                               "123456789012,345"};
  std::mt19937 rng(12345);
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  for (int round = 0; round < 200; ++round) {
    Views fast, plain;
    const int ns = static_cast<int>(rng() % 30), ni = static_cast<int>(rng() % 40);
    for (int i = 0; i < ni; ++i) {
      auto l = MakeLine(pick(descs),
                        rng() % 2 ? pick(quantities)
                                  : std::to_string(rng() % 5) + "," + std::to_string(rng() % 10),
                        pick(numbers));
      fast.invoiced.Add(Doc("R" + std::to_string(i)), std::make_unique<TDataGridLine>(*l));
      plain.invoiced.Add(Doc("R" + std::to_string(i)), std::move(l));
    }
    for (int i = 0; i < ns; ++i) {
      // Rests around 0.01 and beyond the bound where they are formatted from their digits.
      auto l = MakeLine(pick(descs),
                        rng() % 3 ? std::to_string(rng() % 9) + "," + std::to_string(rng() % 100)
                                  : pick(quantities),
                        pick(numbers));
      fast.source.Add(Doc("A"), std::make_unique<TDataGridLine>(*l));
      plain.source.Add(Doc("A"), std::move(l));
    }
    // Probe by probe on the invoiced storage itself.
    for (int i = 0; i < 20; ++i) {
      auto p = MakeLine(pick(descs), "1", pick(numbers));
      int a = -2, b = -2;
      fast.invoiced.FindMatch(*p, &a);
      plain.invoiced.FindMatchPlain(*p, &b);
      ASSERT_EQ(a, b) << "round " << round;
    }
    if (round % 2) {  // sorted as a run sorts them: equal positions next to each other
      for (TLineStorage* s : {&fast.source, &fast.invoiced, &plain.source, &plain.invoiced})
        s->Sort();
    }
    ComputeViews(fast.source, fast.invoiced, fast.merged, fast.missing, false);
    ComputeViews(plain.source, plain.invoiced, plain.merged, plain.missing, true);
    for (auto [x, y] : {std::pair{&fast.merged, &plain.merged}, {&fast.missing, &plain.missing}}) {
      ASSERT_EQ(x->Count(), y->Count());
      for (int i = 0; i < x->Count(); ++i) {
        EXPECT_EQ(x->Entry(i).Ref->Number, y->Entry(i).Ref->Number);
        EXPECT_EQ(x->Entry(i).Line->Stueck, y->Entry(i).Line->Stueck);
        EXPECT_EQ(x->Entry(i).Line->Bezeichnung1, y->Entry(i).Line->Bezeichnung1);
        EXPECT_EQ(x->Entry(i).Difference, y->Entry(i).Difference);
      }
    }
  }
}

}  // namespace
}  // namespace dz
