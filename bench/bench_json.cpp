// Parsing a host document of 10,000 positions (about 5 MB): our reader against a
// mainstream JSON parser on the same bytes, both timed in this run.
//
// The document is plain ASCII (non-ASCII letters as \u escapes), so that both parsers
// accept it; the reference parser reads \u escapes into UTF-8, ours into one byte each.

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "bench/BenchCommon.h"
#include "docdata/FastJSON.h"
#include "docdata/MVJSONObject.h"

namespace {

std::string MakeDocument(int positions) {
  std::string s =
      "{\n  \"Order\": [\n    {\n      \"Date\": \"2024-03-01T12:30:00.000\",\n"
      "      \"ID\": 4711,\n      \"UID\": \"R-2024-0815\",\n      \"PrintName\": \"Rechnung\",\n"
      "      \"PrintUID\": \"2024-0815\",\n      \"InternalType\": 1,\n"
      "      \"InfoLines\": \"x,1001\\r\\nx,1002\\r\\n\",\n"
      "      \"Adress\": [\n        {\n          \"AdressSmart\": \"Muster GmbH, Hauptstra\\u00dfe "
      "1, 12345 Musterstadt\",\n          \"Company\": \"Muster GmbH\",\n"
      "          \"Town\": \"Musterstadt\"\n        }\n      ],\n      \"Parts\": [\n";
  char buf[2048];
  for (int i = 0; i < positions; ++i) {
    std::snprintf(buf, sizeof buf,
                  "{"
                  "\"CurrentRow\": %d, "
                  "\"Position\": \"%d\", "
                  "\"Quantity\": \"%d,5\", "
                  "\"Unit\": \"Stk\", "
                  "\"Description1\": \"Sechskantschraube M%d x %d verzinkt\", "
                  "\"Description2\": \"DIN 933 Festigkeit 8.8, Gr\\u00f6\\u00dfe %d\", "
                  "\"Number\": \"SKS-M%d-%05d\", "
                  "\"DeliverNumber\": \"LN-2024-%06d\", "
                  "\"SerialNumber\": \"\", "
                  "\"LongText\": \"Lieferung frei Haus\\r\\nVerpackt zu 100 St\\u00fcck, "
                  "Preis je 100 \\u20ac\", "
                  "\"Price\": \"%d,%02d\", "
                  "\"Rabatt\": \"0\", "
                  "\"TaxRate\": 19, "
                  "\"Total\": %d.%02d, "
                  "\"TypLine\": \"%s\", "
                  "\"User\": \"\", "
                  "\"Row\": %d, "
                  "\"ID\": %d, "
                  "\"Intern\": \"\", "
                  "\"L2\": \"\""
                  "}%s\n",
                  i + 1, i + 1, i % 50 + 1, i % 12 + 3, i % 80 + 10, i % 7, i % 12 + 3, i,
                  100000 + i, i % 300, i % 100, i % 3000, i % 100, i % 40 == 0 ? "t" : "", i + 1,
                  200000 + i, i + 1 < positions ? "," : "");
    s += buf;
  }
  s += "      ]\n    }\n  ]\n}\n";
  return s;
}

template <class F>
double BestMs(int runs, F&& f) {
  double best = 1e300;
  for (int r = 0; r < runs; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  return best;
}

}  // namespace

int main() {
  const std::string doc = MakeDocument(10000);

  // Check once that both read the whole document.
  {
    dz::TMVJSONObject o;
    o.Load(doc, true, false);
    auto n = nlohmann::json::parse(doc);
    if (!o.IsValid() || o.Positions()->Count() != 10000 || n["Order"][0]["Parts"].size() != 10000) {
      std::fprintf(stderr, "bench_json: the document did not parse as expected\n");
      return 1;
    }
  }

  const int runs = 9;
  double ours = BestMs(runs, [&] {
    dz::TFastJSON j;
    j.Parse(doc);
  });
  double oursParseOnly = 1e300;
  {
    for (int r = 0; r < runs; ++r) {
      dz::TFastJSON j;
      auto t0 = std::chrono::steady_clock::now();
      j.Parse(doc);
      auto t1 = std::chrono::steady_clock::now();
      oursParseOnly =
          std::min(oursParseOnly, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
  }
  double reference = BestMs(runs, [&] { auto j = nlohmann::json::parse(doc); });
  double referenceParseOnly = 1e300;
  for (int r = 0; r < runs; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    auto j = nlohmann::json::parse(doc);
    auto t1 = std::chrono::steady_clock::now();
    referenceParseOnly =
        std::min(referenceParseOnly, std::chrono::duration<double, std::milli>(t1 - t0).count());
  }

  std::printf("bench_json: host document, 10000 positions, %.2f MB\n", doc.size() / 1e6);
  std::printf("  parse + free: ours %.2f ms, nlohmann-json %.2f ms, ratio %.2f\n", ours, reference,
              ours / reference);
  std::printf("  parse only:   ours %.2f ms, nlohmann-json %.2f ms\n", oursParseOnly,
              referenceParseOnly);
  return bench::Verdict(oursParseOnly / referenceParseOnly, 1.5);
}
