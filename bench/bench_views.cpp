// Merged and missing views of a large reconciliation: the indexed search against the
// plain walk over the storage. The plain walk is quadratic, so it is measured on a tenth
// of the size and scaled by the square of the size factor; both are also compared at the
// small size directly.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "docdata/NumberFormat.h"
#include "engine/LineStorage.h"

using namespace dz;

namespace {

struct Data {
  TLineStorage source, invoiced, merged, missing;
};

// A reference of `nsrc` positions; invoices repeat them in parts, with case and blank
// variants, some without part numbers, and a few positions the reference does not hold.
void Fill(Data& d, int nsrc, int ninv, unsigned seed) {
  std::mt19937 rng(seed);
  auto line = [&](int k, bool variant) {
    auto l = std::make_unique<TDataGridLine>();
    const bool noNumber = k % 7 == 0;
    if (!noNumber) l->Artikelnummer = (variant && k % 2 ? "art-" : "ART-") + std::to_string(k);
    std::string desc = "Position Nummer " + std::to_string(k) + " Stahl verzinkt";
    if (variant && k % 3 == 0) desc = "position nummer " + std::to_string(k) + "  Stahl verzinkt";
    l->Bezeichnung1 = desc;
    l->Stueck = std::to_string(1 + rng() % 20) + "," + std::to_string(rng() % 100);
    return l;
  };
  for (int k = 0; k < nsrc; ++k) d.source.Add(DocumentRef{"AB-1", 1, 7, 45000}, line(k, false));
  for (int i = 0; i < ninv; ++i) {
    int k = static_cast<int>(rng() % static_cast<unsigned>(nsrc + nsrc / 20));
    d.invoiced.Add(DocumentRef{"R-" + std::to_string(i / 20), 100 + i / 20, 1, 45001.0 + i / 20},
                   line(k, true));
  }
  d.source.Sort();
  d.invoiced.Sort();
}

// Processor time of this thread: the machine is shared, and waiting for a core is not
// the search's cost.
double CpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(Data& d, bool plain) {
  const double t0 = CpuNow();
  ComputeViews(d.source, d.invoiced, d.merged, d.missing, plain);
  return CpuNow() - t0;
}

double Best(int nsrc, int ninv, bool plain, int reps) {
  double best = 1e9;
  for (int r = 0; r < reps; ++r) {
    Data d;
    Fill(d, nsrc, ninv, 7);
    best = std::min(best, Seconds(d, plain));
  }
  return best;
}

}  // namespace

int main() {
  SetNumberFormat(DefaultNumberFormat());
  const int nsrc = 20000, ninv = 100000, k = 10;
  const double fast = Best(nsrc, ninv, false, 5);
  const double fastSmall = Best(nsrc / k, ninv / k, false, 5);
  const double plainSmall = Best(nsrc / k, ninv / k, true, 1);
  const double plainScaled = plainSmall * k * k;
  std::printf("views %d reference / %d invoiced: %.1f ms processor time\n", nsrc, ninv, fast * 1e3);
  std::printf("plain walk at %d / %d: %.1f ms (indexed %.2f ms, ratio %.0f)\n", nsrc / k, ninv / k,
              plainSmall * 1e3, fastSmall * 1e3, plainSmall / fastSmall);
  std::printf("plain walk scaled to full size: %.0f ms\n", plainScaled * 1e3);
  std::printf("ratio plain/indexed at full size: %.0f (target >= 100; time target < 100 ms)\n",
              plainScaled / fast);
  return 0;
}
