#include "output/SendToHost.h"

#include "hostlink/HostCommands.h"
#include "output/PutMVParser.h"

namespace dz {

const char* const kSendRefused =
    "Dazu muss ein Auftrag in <b>Marvella</b> auf <b>bearbeiten</b> stehen.";
const char* const kSendUndelivered =
    "Die Positionen konnten nicht an <b>Marvella</b> \xFC"
    "bergeben werden: <b>Marvella</b> "
    "hat nicht geantwortet.<br>Bitte pr\xFC"
    "fen Sie den Auftrag in <b>Marvella</b> und "
    "senden Sie die Positionen erneut.";

SendResult SendSelection(std::span<const TDataGridLine* const> selection,
                         const TDataGridLine* currentRow) {
  // Exactly "1": anything else, an empty answer from a silent host included, is a no.
  if (ReadIPCValueSync("CANPOSTJSON", "") != "1") return SendResult::Refused;
  TMVCallBack grid{selection, currentRow};
  TPutMVParser parser;
  return parser.Put(AddGridParts, &grid) ? SendResult::Delivered : SendResult::Undelivered;
}

}  // namespace dz
