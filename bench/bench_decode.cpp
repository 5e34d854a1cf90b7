// Decoding a large stored document: the full decode (both binary columns inflated, column
// set merged, rows read, position rows turned into lines, and everything freed again)
// against plain zlib inflation of the same blobs, measured in the same run.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "docdata/BlobInflate.h"
#include "docdata/DataGrid.h"
#include "docdata/NumberFormat.h"
#include "docdata/PackedLine.h"
#include "docdata/PositionTableWriter.h"
#include "docdata/RowConversion.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Deterministic pseudo-random numbers, so every run decodes the same document.
struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<uint32_t>(s >> 11);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
};

std::vector<dz::TDataGridLine> MakeLines(int count) {
  const char* nouns[] = {"Unterschrank",     "H\xE4ngeschrank", "Arbeitsplatte",  "Sp\xFClmaschine",
                         "Dunstabzugshaube", "Griffleiste",     "K\xFChlschrank", "Backofen",
                         "Schubkasten",      "Eckregal",        "Sockelblende",   "Wandabschluss"};
  const char* adjectives[] = {"Eiche gek\xE4lkt", "wei\xDF hochglanz", "Nussbaum ge\xF6lt",
                              "Edelstahl",        "Granit schwarz",    "Buche massiv",
                              "anthrazit matt",   "Gr\xFCn lackiert"};
  const char* units[] = {"Stk", "m", "m\xB2", "Std", "psch", "lfm"};
  Rng rng;
  std::vector<dz::TDataGridLine> v;
  v.reserve(count);
  for (int i = 0; i < count; ++i) {
    dz::TDataGridLine l;
    if (i % 25 == 0) {
      l.TypeLine = "t";
      l.Bezeichnung1 = "Raum " + std::to_string(i / 25 + 1) +
                       ": K\xFC"
                       "che und Hauswirtschaft";
      v.push_back(std::move(l));
      continue;
    }
    l.TypeLine = "P";
    l.Pos = std::to_string(i / 25 + 1) + "." + std::to_string(i % 25);
    int qty = 1 + static_cast<int>(rng.Below(40));
    l.Stueck = std::to_string(qty) + (rng.Below(4) == 0 ? ",5" : "");
    l.Einheit = units[rng.Below(6)];
    l.Bezeichnung1 =
        std::string(nouns[rng.Below(12)]) + " " + std::to_string(30 + rng.Below(90)) + " cm";
    l.Bezeichnung2 = adjectives[rng.Below(8)];
    l.BestellNummer = "B-" + std::to_string(100000 + rng.Below(900000));
    l.Seriennummer = rng.Below(5) == 0 ? "SN" + std::to_string(rng.Next()) : "";
    l.Artikelnummer = "ART-" + std::to_string(10000 + rng.Below(90000));
    int cents = 100 + static_cast<int>(rng.Below(99900));
    l.Einzelbetrag = std::to_string(cents / 100) + "," + std::to_string(10 + cents % 90);
    l.Steuer = rng.Below(10) == 0 ? "7" : "19";
    l.SummeBetrag = std::to_string(cents * qty / 100) + ",00";
    l.intern = std::to_string(rng.Next());
    l.ID_Artikel = std::to_string(rng.Below(1000000));
    l.User = rng.Below(3) == 0 ? "Lieferung KW " + std::to_string(1 + rng.Below(52)) : "";
    l.Rabatt = rng.Below(4) == 0 ? std::to_string(rng.Below(30)) : "";
    if (i % 3 == 0)
      l.Second =
          "Ausf\xFChrung nach Aufma\xDF vor Ort.\r\nLieferung frei Baustelle, "
          "Montage durch Fachpersonal (\"Komfort\"-Paket, 100 % Zufriedenheit).\r\n"
          "Farbe und Ma\xDF"
          "e gem\xE4\xDF Zeichnung Nr. " +
          std::to_string(rng.Below(1000));
    v.push_back(std::move(l));
  }
  return v;
}

// The least any reader must do: one output buffer of the known size, one inflate call.
size_t PlainInflate(const std::string& blob, size_t size) {
  char* out = static_cast<char*>(std::malloc(size));
  z_stream zs{};
  inflateInit(&zs);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(blob.data()));
  zs.avail_in = static_cast<uInt>(blob.size());
  zs.next_out = reinterpret_cast<Bytef*>(out);
  zs.avail_out = static_cast<uInt>(size);
  inflate(&zs, Z_FINISH);
  size_t n = zs.total_out;
  inflateEnd(&zs);
  std::free(out);
  return n;
}

}  // namespace

int main() {
  dz::SetNumberFormat(dz::DefaultNumberFormat());
  const int kRows = 120000;
  const std::vector<dz::TDataGridLine> lines = MakeLines(kRows);
  dz::TPositionTableWriter writer;
  const std::string datasText = writer.DatasText(lines);
  const std::string columnsText = writer.ColumnsStream();
  const dz::StoredDocument doc = writer.Write(lines);
  std::printf(
      "document: %d rows, Datas %.1f MB inflated / %.1f MB compressed, ColumnsFormat %zu B\n",
      kRows, datasText.size() / 1e6, doc.datas.size() / 1e6, columnsText.size());

  const int kRuns = 5;
  double floorBest = 1e9, inflateBest = 1e9, tableBest = 1e9, linesBest = 1e9, freeBest = 1e9,
         wholeBest = 1e9;
  size_t positions = 0;
  for (int run = 0; run < kRuns; ++run) {
    auto t0 = Clock::now();
    size_t a = PlainInflate(doc.datas, datasText.size());
    size_t b = PlainInflate(doc.columnsFormat, columnsText.size());
    auto t1 = Clock::now();
    if (a != datasText.size() || b != columnsText.size()) {
      std::fprintf(stderr, "plain inflation failed\n");
      return 1;
    }
    floorBest = std::min(floorBest, Seconds(t0, t1));

    auto f0 = Clock::now();
    auto cols = std::make_unique<dz::InflateResult>(dz::InflateBlob(doc.columnsFormat));
    auto rows = std::make_unique<dz::InflateResult>(dz::InflateBlob(doc.datas));
    auto f1 = Clock::now();
    auto table = std::make_unique<dz::TDataGrid>();
    table->LoadColumns(cols->bytes.View());
    const dz::TColumnIndexRecord index = dz::MakeColumnIndex(*table);
    auto f2 = Clock::now();
    // As the run takes them: every position row straight into a line.
    auto arena = std::make_unique<dz::LineArena>();
    std::vector<const dz::PackedLine*> out;
    int rowsRead = 0;
    bool ok = table->VisitRows(rows->bytes.View(), [&](const dz::TDataGridRowView& row) {
      ++rowsRead;
      if (dz::IsMarkerKind(dz::RowKindOf(row.Cell(0)))) return;
      out.push_back(dz::PackRowView(row, index, *arena));
    });
    auto f3 = Clock::now();
    if (!ok || cols->damaged || rows->damaged || rowsRead != kRows) {
      std::fprintf(stderr, "decode failed\n");
      return 1;
    }
    positions = out.size();
    table.reset();
    cols.reset();
    rows.reset();
    out.clear();
    out.shrink_to_fit();
    arena.reset();
    auto f4 = Clock::now();
    inflateBest = std::min(inflateBest, Seconds(f0, f1));
    tableBest = std::min(tableBest, Seconds(f1, f2));
    linesBest = std::min(linesBest, Seconds(f2, f3));
    freeBest = std::min(freeBest, Seconds(f3, f4));
    wholeBest = std::min(wholeBest, Seconds(f0, f4));
  }
  std::printf("plain zlib inflate (floor):     %8.1f ms\n", floorBest * 1e3);
  std::printf("decode, rows to lines, freeing: %8.1f ms  (%zu positions)\n", wholeBest * 1e3,
              positions);
  std::printf("  inflate %.1f, columns %.1f, rows to lines %.1f, freeing %.1f ms\n",
              inflateBest * 1e3, tableBest * 1e3, linesBest * 1e3, freeBest * 1e3);
  std::printf("rows/s: %.0f\n", kRows / wholeBest);
  return bench::Verdict(wholeBest / floorBest, 2.0);
}
