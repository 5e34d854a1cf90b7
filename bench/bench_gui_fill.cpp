// Filling the position grid with a run of 100,000 lines, offscreen, against building the
// same rows as plain strings. The grid's cost on top of the strings is its item model, the
// reference tables and what the shown view does with the new rows (including painting the
// visible part), so the ratio says how close the fill comes to the cost of the text itself.
#include <time.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "docdata/NumberFormat.h"
#include "engine/LineStorage.h"
#include "ui/ViewDataGrid.h"

using namespace dz;

namespace {

struct Run {
  TLineStorage storages[4];  // Missing, Source, Merged, Invoiced
};

void Build(Run& run, int total) {
  const int per = total / 4;
  for (int s = 0; s < 4; ++s) {
    for (int i = 0; i < per; ++i) {
      auto line = std::make_unique<TDataGridLine>();
      line->Pos = std::to_string(i + 1);
      line->Bezeichnung1 = "Position Nummer " + std::to_string(i) + " Stahl verzinkt";
      line->Artikelnummer = "ART-" + std::to_string(i);
      line->Stueck = std::to_string(1 + i % 20) + "," + std::to_string(i % 100);
      line->Einheit = "Stk";
      line->SummeBetrag = std::to_string(i % 500) + ",25";
      LineEntry& entry = run.storages[s].Add(
          DocumentRef{"R-" + std::to_string(i / 20), i / 20, 1, 45000}, std::move(line));
      if (s == 0 && i % 3 == 0) entry.Difference = 1.5;
    }
  }
}

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The floor: the ten texts of every row, as the grid shows them, in a plain row table.
size_t PlainRows(Run& run) {
  std::vector<std::string> cells;
  size_t rows = 8;
  for (const TLineStorage& storage : run.storages) rows += static_cast<size_t>(storage.Count());
  cells.reserve(rows * 10);
  const auto row = [&] {
    cells.resize(cells.size() + 10);
    return cells.data() + cells.size() - 10;
  };
  size_t link = 0;
  const char* images[] = {"2", "1", "", ""};
  for (int s = 0; s < 4; ++s) {
    std::string* section = row();
    section[0] = "\x81 p";
    section[3] = "Section";
    section[7] = "Name";
    const std::string range = std::to_string(s);
    long double total = 0;
    TLineStorage& storage = run.storages[s];
    for (int i = 0; i < storage.Count(); ++i) {
      const LineEntry& entry = storage.Entry(i);
      const LineView line = entry.Line.Shared();
      std::string* c = row();
      c[1] = images[s];
      c[2] = line.Pos();
      c[3] = line.Bezeichnung1();
      c[4] = line.Artikelnummer();
      std::string quantity = FormatQuantity(N(entry.Line.Quantity()));
      if (entry.Difference != 0) quantity += " [" + FormatQuantity(entry.Difference) + "]";
      c[5] = std::move(quantity);
      c[6] = line.Einheit();
      c[7] = entry.Ref->Number;
      c[8] = std::to_string(link++);
      c[9] = range;
      total += N(line.SummeBetrag());
    }
    if (s == 1 || s == 3) {
      std::string* sum = row();
      sum[0] = "\x81 g";
      sum[1] = "8";
      sum[3] = "Summe";
      sum[7] = FormatQuantity(total);
    }
  }
  return cells.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  SetNumberFormat(DefaultNumberFormat());
  const int lines = 100000, reps = 5;
  Run run;
  Build(run, lines);

  TViewDataGrid grid;
  grid.resize(1000, 700);
  grid.CreateColumns(1000);
  grid.Scale(1.2);
  grid.show();
  QApplication::processEvents();

  double bestGrid = 1e9, bestPlain = 1e9;
  size_t cells = 0;
  for (int r = 0; r < reps; ++r) {
    double t0 = Now();
    cells += PlainRows(run);
    bestPlain = std::min(bestPlain, Now() - t0);

    t0 = Now();
    grid.Clear();
    grid.Fill(run.storages[0], run.storages[1], run.storages[2], run.storages[3]);
    QApplication::processEvents();  // the view's delayed layout and the first paint
    bestGrid = std::min(bestGrid, Now() - t0);
  }
  std::printf("grid fill, %d lines (%d rows): %.1f ms\n", lines, grid.RowCount() - 1,
              bestGrid * 1e3);
  std::printf("plain strings, same rows (%zu cells per run): %.1f ms\n", cells / reps,
              bestPlain * 1e3);
  // The window scrolls through all of it: a jump to the last row and back stays cheap.
  const double t0 = Now();
  grid.SetCurrentCell(TViewDataGrid::ColDescription, grid.RowCount() - 1);
  QApplication::processEvents();
  grid.SetCurrentCell(TViewDataGrid::ColDescription, 1);
  QApplication::processEvents();
  std::printf("jump to the last row and back: %.2f ms\n", (Now() - t0) * 1e3);
  return bench::Verdict(bestGrid / bestPlain, 3.0);
}
