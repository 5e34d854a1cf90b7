#include "output/PutMVParser.h"

namespace dz {

bool TPutMVParser::Put(TPartsCallback callback, void* user) {
  callback_ = callback;
  user_ = user;
  return Run("TCSVRequest");
}

void TPutMVParser::Fill(const std::string& description) {
  TJSONImport& json = Json();
  json.SetDescription(description);
  json.SetImportFlags(true, false, false, true);
  if (callback_) callback_(user_, *this);
}

void AddGridParts(void* user, TPutMVParser& parser) {
  const auto& grid = *static_cast<const TMVCallBack*>(user);
  if (grid.Selection.empty()) {
    if (grid.CurrentRow) parser.Json().AddPart(*grid.CurrentRow);
    return;
  }
  for (const TDataGridLine* line : grid.Selection)
    if (line) parser.Json().AddPart(*line);
}

}  // namespace dz
