#pragma once
// TJSONImport: the import document as a request maker fills it: the request's
// description, the order's import settings and one part per position line.
//
// Same document and rules as TJSON (JSON.h); the object itself holds nothing.

#include <string_view>

#include "docdata/DataGridLine.h"
#include "output/JSON.h"

namespace dz {

class TJSONImport : public TJSON {
 public:
  // The root's "Description".
  void SetDescription(std::string_view description);
  // The order's "NettoPrices", "TaxImport", "UpdateParts" and "AppendMode" (booleans).
  void SetImportFlags(bool nettoPrices, bool taxImport, bool updateParts, bool appendMode);
  // A new part with the 17 texts of `line`, unchanged, in the order the host reads them:
  // Quantity, Unit, Description1, Description2, DeliverNumber, SerialNumber, Number,
  // Price, TaxRate, Total, Rabatt, Position, LongText, TypLine, Intern, ID, User.
  void AddPart(const TDataGridLine& line);
};

}  // namespace dz
