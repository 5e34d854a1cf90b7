#pragma once
// One linked-document info line (TAddInfoLine) and the stream root that carries a set of
// them with two header values (TAddInfoLinesWrapper). The collection with its loading
// and sorting is built on top of these.

#include <cstdint>
#include <string>

#include "docdata/ComponentStream.h"

namespace dz {

class TAddInfoLine : public Persistent {
 public:
  explicit TAddInfoLine(Collection* owner = nullptr) : owner_(owner) {}

  int32_t ORG_ID = 0;
  std::string _1, _2, _3, _4, _5, _6, _7, _8;
  bool Forcedelete = false;
  // Not published: the first field of the line's comma-separated record.
  std::string RecordKey;

  Collection* Owner() const { return owner_; }
  std::string_view ClassName() const override { return "TAddInfoLine"; }
  std::span<const PropInfo> Properties() const override;
  PropRef Property(size_t index) override;
  // From a TAddInfoLine: all eleven values. Any other source: the assignment error.
  void Assign(const Persistent& source) override;

 private:
  Collection* owner_;
};

class TAddInfoLinesCollection : public OwnedCollection<TAddInfoLine> {
 public:
  std::string_view ClassName() const override { return "TAddInfoLines"; }
};

// Owns the lines it reads; take them with AddInfoLines.TakeItems().
class TAddInfoLinesWrapper : public StreamRoot {
 public:
  std::string Info1;
  int32_t Info2 = 0;
  TAddInfoLinesCollection AddInfoLines;

  std::string_view ClassName() const override { return "TAddInfoLinesWrapper"; }
  std::span<const PropInfo> Properties() const override;
  PropRef Property(size_t index) override;
};

}  // namespace dz
