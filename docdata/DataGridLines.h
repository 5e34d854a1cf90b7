#pragma once
// Collections of position lines and the stream root that carries one.
//
// TCustomDataGridLines owns its lines; besides them it carries GUID, Row and Data, which
// travel with it when it is streamed. TDataGridLines adds the three renderings the
// clipboard export fills in (plain text, HTML, CSV); here each gives empty text.

#include <cstdint>
#include <string>

#include "docdata/DataGridLine.h"

namespace dz {

class TCustomDataGridLines : public OwnedCollection<TDataGridLine> {
 public:
  std::string GUID;
  int32_t Row = 0;
  std::string Data;

  std::string_view ClassName() const override { return "TCustomDataGridLines"; }
  // The line at `index` (0-based); the collection keeps it.
  TDataGridLine& Items(size_t index) { return (*this)[index]; }
  const TDataGridLine& Items(size_t index) const { return (*this)[index]; }
  // From another TCustomDataGridLines: copies of its lines plus GUID, Row and Data. Any
  // other source: the assignment error.
  void Assign(const Persistent& source) override;
};

class TDataGridLines : public TCustomDataGridLines {
 public:
  std::string_view ClassName() const override { return "TDataGridLines"; }
  virtual std::string GetAsText() const { return std::string(); }
  virtual std::string GetAsHTML() const { return std::string(); }
  virtual std::string GetAsCSV() const { return std::string(); }
};

// Stream root of a line collection (owned elsewhere): DataGridLines, GUID, Row, Data, the
// last three being the collection's own values.
class TDataGridLinesWrapper : public StreamRoot {
 public:
  explicit TDataGridLinesWrapper(TCustomDataGridLines& lines) : lines_(&lines) {}
  std::string_view ClassName() const override { return "TDataGridLinesWrapper"; }
  std::span<const PropInfo> Properties() const override;
  PropRef Property(size_t index) override;

 private:
  TCustomDataGridLines* lines_;
};

}  // namespace dz
