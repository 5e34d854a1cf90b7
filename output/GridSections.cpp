#include "output/GridSections.h"

#include "docdata/NumberFormat.h"

namespace dz {

const std::array<TGridSection, 4> kGridSections = {{
    {"Fehlend", "Diese wurden nicht berechnet", "Missing", "2", false},
    {"Quelle", "Inhalt AN/AB", "Source", "1", true},
    {"Komprimiert", "Gleiche zusammengefasst aus RE", "Merged", "", false},
    {"Alle", "Alle Inhalte aus RE", "Invoiced", "", true},
}};

TLineStorage& SectionStorage(TSuperStack& stack, int section) {
  switch (section) {
    case 0:
      return stack.Missing();
    case 1:
      return stack.Source();
    case 2:
      return stack.Merged();
    default:
      return stack.Invoiced();
  }
}

std::string QuantityCellText(const LineEntry& entry) {
  std::string text = FormatQuantity(N(entry.Line.Quantity()));
  if (entry.Difference != 0) text += " [" + FormatQuantity(entry.Difference) + "]";
  return text;
}

long double SectionTotal(const TLineStorage& storage) {
  long double total = 0;
  constexpr int kAhead = 8;
  for (int i = 0; i < storage.Count(); ++i) {
    if (i + kAhead < storage.Count()) storage.Entry(i + kAhead).Line.Prefetch();
    total += N(storage.Entry(i).Line.Shared().SummeBetrag());
  }
  return total;
}

std::vector<TGridRow> BuildGridRows(TSuperStack& stack) {
  std::vector<TGridRow> rows;
  for (int s = 0; s < static_cast<int>(kGridSections.size()); ++s) {
    const TGridSection& section = kGridSections[static_cast<size_t>(s)];
    TLineStorage& storage = SectionStorage(stack, s);
    TGridRow head;
    head.Kind = TGridRowKind::Section;
    head.Section = s;
    head.Info = section.Info;
    head.Description1 = section.Description;
    rows.push_back(std::move(head));
    if (s == 0 && storage.Count() == 0) {
      TGridRow done;
      done.Kind = TGridRowKind::AllDone;
      done.Section = s;
      done.Image = "1";
      done.Info = "Alles berechnet";
      rows.push_back(std::move(done));
    }
    for (int i = 0; i < storage.Count(); ++i) {
      LineEntry& entry = storage.Entry(i);
      const LineView line = entry.Line.Shared();
      TGridRow row;
      row.Kind = TGridRowKind::Line;
      row.Section = s;
      row.Image = section.Image;
      row.Position = line.Pos();
      row.Description1 = line.Bezeichnung1();
      row.PartNo = line.Artikelnummer();
      row.Quantity = QuantityCellText(entry);
      row.Unit = line.Einheit();
      row.Info = entry.Ref->Number;
      row.Entry = &entry;
      row.Storage = &storage;
      rows.push_back(std::move(row));
    }
    if (section.SumRow) {
      TGridRow sum;
      sum.Kind = TGridRowKind::Sum;
      sum.Section = s;
      sum.Image = "8";
      sum.Description1 = "Summe";
      sum.Info = FormatQuantity(SectionTotal(storage));
      rows.push_back(std::move(sum));
    }
  }
  return rows;
}

}  // namespace dz
