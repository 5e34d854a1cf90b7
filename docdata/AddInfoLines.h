#pragma once
// The links of a host document to other documents: the collection of info lines read
// from the order's "InfoLines" text, with its two header values.
//
// The text is either a component stream (root TAddInfoLinesWrapper, when it is at least
// five bytes long and begins with "TPF0") or comma-separated records (CSVReader.h) whose
// fields carry the host's escapes. After every load the lines are in ascending order of
// ORG_ID, the record ID of the linked document.
//
// Load never raises: a damaged text yields what could be read (nothing for a damaged
// stream, the lines before the damage for comma-separated text). The collection owns
// its lines.

#include <cstdint>
#include <string>
#include <string_view>

#include "docdata/AddInfoLine.h"

namespace dz {

class TAddInfoLines : public TAddInfoLinesCollection {
 public:
  std::string Info1;
  int32_t Info2 = 0;

  // Replaces lines and header values with the content of `bytes`.
  void Load(std::string_view bytes) noexcept;

  TAddInfoLine& Item(size_t index) { return *items_.at(index); }
  const TAddInfoLine& Item(size_t index) const { return *items_.at(index); }

  // Ascending by ORG_ID; lines with equal IDs are all kept.
  void Sort();

 private:
  void LoadStream(std::string_view bytes);
  void LoadRecords(std::string_view bytes);
};

}  // namespace dz
