#include "output/JSONImport.h"

namespace dz {

void TJSONImport::SetDescription(std::string_view description) {
  Root().PutString("Description", description);
}

void TJSONImport::SetImportFlags(bool nettoPrices, bool taxImport, bool updateParts,
                                 bool appendMode) {
  TMVJSON& order = Order();
  order.PutBoolean("NettoPrices", nettoPrices);
  order.PutBoolean("TaxImport", taxImport);
  order.PutBoolean("UpdateParts", updateParts);
  order.PutBoolean("AppendMode", appendMode);
}

void TJSONImport::AddPart(const TDataGridLine& line) {
  BeginPart();
  PutPartString("Quantity", line.Stueck);
  PutPartString("Unit", line.Einheit);
  PutPartString("Description1", line.Bezeichnung1);
  PutPartString("Description2", line.Bezeichnung2);
  PutPartString("DeliverNumber", line.BestellNummer);
  PutPartString("SerialNumber", line.Seriennummer);
  PutPartString("Number", line.Artikelnummer);
  PutPartString("Price", line.Einzelbetrag);
  PutPartString("TaxRate", line.Steuer);
  PutPartString("Total", line.SummeBetrag);
  PutPartString("Rabatt", line.Rabatt);
  PutPartString("Position", line.Pos);
  PutPartString("LongText", line.Second);
  PutPartString("TypLine", line.TypeLine);
  PutPartString("Intern", line.intern);
  PutPartString("ID", line.ID_Artikel);
  PutPartString("User", line.User);
}

}  // namespace dz
