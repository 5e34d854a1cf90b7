#pragma once
// TJSON: access to the one import document of the process, the JSON that carries
// positions to the host.
//
// The document is created on first use with its fixed skeleton
//   {"Order":[{"Parts":[],"Adress":[{}]}]}
// and discarded after every send (GenerateAndDiscard, Discard), so that each send starts
// from a fresh skeleton and never carries the parts of an earlier one. Beginning a part
// appends an empty object to "Parts" and makes it the current part; string members for
// parts go to it and are dropped while there is none.
//
// Sends use the document one at a time: hold DocumentLock() from filling to generating.
// References handed out stay valid until the document is discarded. Nothing here raises
// except for allocation failure.

#include <mutex>
#include <string>
#include <string_view>

#include "docdata/MVJSON.h"

namespace dz {

class TJSON {
 public:
  virtual ~TJSON() = default;

  // The lock that keeps two sends from sharing the document.
  static std::unique_lock<std::mutex> DocumentLock();

  // The document root, created with its skeleton when there is none.
  TMVJSON& Root();
  // The one object of "Order".
  TMVJSON& Order();
  TMVSONList& Parts();

  // Appends an empty part and makes it current.
  TMVJSON& BeginPart();
  // `text` (Windows-1252) under `name` on the current part; dropped when there is none.
  void PutPartString(std::string_view name, std::string_view text);

  // The compact text of the document; the document is discarded whatever happens.
  std::string GenerateAndDiscard();
  // Drops the document and the current part.
  static void Discard();
  // Whether a document exists at the moment.
  static bool HasDocument();
};

}  // namespace dz
