// Demo entry point for now: decodes the built-in sample stored document and prints its
// positions.
#include <cstdio>

#include "docdata/DataGrid.h"
#include "docdata/Exception.h"
#include "docdata/NumberFormat.h"
#include "docdata/SampleDocument.h"
#include "platform/Platform.h"

int main() {
  dz::InitNumberFormat(dz::ProgramDir());
  try {
    const dz::StoredDocument doc = dz::SampleStoredDocument();
    dz::StoredTable t = dz::LoadStoredTable(doc.columnsFormat, doc.datas);
    if (t.status != dz::StoredTableStatus::Loaded) {
      std::fprintf(stderr, "Beispieldokument ohne Positionen\n");
      return 1;
    }
    std::printf("Dirivararez: Beispieldokument (%zu + %zu Bytes komprimiert)\n\n",
                doc.columnsFormat.size(), doc.datas.size());
    std::fputs(dz::RenderPositionTable(*t.table).c_str(), stdout);
  } catch (const dz::Exception& e) {
    std::fprintf(stderr, "Fehler: %s\n", e.what());
    return 1;
  }
  return 0;
}
