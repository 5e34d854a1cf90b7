#include "docdata/AddInfoLines.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "docdata/CSVReader.h"
#include "docdata/IntText.h"

namespace dz {

void TAddInfoLines::Load(std::string_view bytes) noexcept {
  try {
    Clear();
    Info1.clear();
    Info2 = 0;
    if (bytes.size() >= 5 && bytes.substr(0, 4) == "TPF0")
      LoadStream(bytes);
    else
      LoadRecords(bytes);
  } catch (const std::exception&) {
    // A damaged text means no (further) links; the run reports a document without links.
  }
}

void TAddInfoLines::LoadStream(std::string_view bytes) {
  // Read into a wrapper of our own first, so that a damaged stream leaves us empty.
  TAddInfoLinesWrapper wrapper;
  ReadComponent(bytes, wrapper);
  for (size_t i = 0; i < wrapper.AddInfoLines.Count(); ++i) Add().Assign(wrapper.AddInfoLines[i]);
  Sort();
  Info1 = wrapper.Info1;
  Info2 = wrapper.Info2;
}

void TAddInfoLines::LoadRecords(std::string_view bytes) {
  TCSVReader reader(bytes);
  std::vector<std::string> fields;
  while (reader.Next(fields)) {
    for (auto& f : fields) f = std::string(TrimControl(UnescapeFieldText(f)));
    auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string(); };
    const std::string key = field(0);
    if (key == "Info1") {
      Info1 = field(1);
    } else if (key == "Info2") {
      Info2 = StrToIntDef(field(1), 0);
    } else {
      TAddInfoLine& line = Add();
      line.RecordKey = key;
      line.ORG_ID = StrToIntDef(field(1), 0);
      std::string* texts[] = {&line._1, &line._2, &line._3, &line._4,
                              &line._5, &line._6, &line._7, &line._8};
      for (size_t i = 0; i < 8; ++i) *texts[i] = field(2 + i);
      line.Forcedelete = field(10) == "1";
    }
  }
  Sort();
}

void TAddInfoLines::Sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [](const auto& a, const auto& b) { return a->ORG_ID < b->ORG_ID; });
}

}  // namespace dz
