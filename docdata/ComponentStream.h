#pragma once
// The "TPF0" component stream: one root object stored by the names of its published
// properties, with nested objects as dotted paths, text lists as "<name>.Strings" and
// collections of items that are property lists themselves.
//
// An object takes part by deriving from Persistent and describing its published
// properties in order (PropInfo) together with where each one lives (Property(i)). The
// reader resolves names against that description; the writer walks it in order.
//
// Failures: ReadComponent raises dz::Exception with one of the messages below; the
// object it filled is then partly filled and must not be used. WriteComponent raises
// only for a name longer than 255 bytes.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "docdata/StreamValues.h"

namespace dz {

// Reader messages, as Windows-1252 text.
extern const char* const kInvalidStreamFormat;   // "Ungültiges Stream-Format"
extern const char* const kPropertyDoesNotExist;  // "Eigenschaft existiert nicht"
extern const char* const kInvalidPropertyPath;   // "Ungültiger Pfad für Eigenschaft"
extern const char* const kInvalidPropertyValue;  // "Ungültiger Wert der Eigenschaft"
// kStreamReadError ("Stream-Read-Fehler") comes from StreamValues.h.

enum class PropType : uint8_t {
  Integer,      // int32_t; tags 2, 3, 4
  Boolean,      // bool; tags 8, 9
  Enumeration,  // int32_t ordinal into PropInfo::names; tag 7
  Set,          // int32_t bit mask over PropInfo::names; tag 11
  Text,         // std::string; tags 6, 12, 18, 20
  Strings,      // std::vector<std::string>; stored as "<name>.Strings", a list of texts
  Object,       // nested Persistent; its properties appear as "<name>.<property>"
  Collection,   // Collection; tag 14
  Color,        // int32_t; an integer or a colour identifier such as "clWindowText"
  Charset,      // int32_t; an integer or a character-set identifier such as "DEFAULT_CHARSET"
  Reference,    // std::string naming another object; tag 7 or 13. Nothing is known by
                // name here, so a reference read is dropped (the text stays empty).
};

struct PropInfo {
  std::string_view name;
  PropType type;
  std::span<const std::string_view> names = {};  // enumeration elements / set members
  std::optional<int32_t> def = std::nullopt;     // declared default (integer, enum, set)
  bool stored = true;                            // false: never written (the root's Name)
};

class Persistent;
class Collection;
using PropRef = std::variant<int32_t*, bool*, std::string*, std::vector<std::string>*, Persistent*,
                             Collection*>;

class Persistent {
 public:
  virtual ~Persistent() = default;
  virtual std::string_view ClassName() const = 0;
  // The published properties in order; an object without any returns an empty list.
  virtual std::span<const PropInfo> Properties() const { return {}; }
  // Where property `index` (of Properties()) lives in this object: a pointer of the kind
  // its PropType names. Valid while the object lives.
  virtual PropRef Property(size_t index);
  // The same for reading only (the writer's view).
  PropRef ConstProperty(size_t index) const {
    return const_cast<Persistent*>(this)->Property(index);
  }

  // Copies `source` into this object. This base refuses every source with the
  // assignment error; classes that know how to copy a source override it.
  virtual void Assign(const Persistent& source);

 protected:
  [[noreturn]] void AssignError(const Persistent& source) const;
};

// A collection of items; the collection owns its items.
class Collection : public Persistent {
 public:
  virtual size_t Count() const = 0;
  virtual Persistent& ItemAt(size_t index) = 0;
  const Persistent& ConstItemAt(size_t index) const {
    return const_cast<Collection*>(this)->ItemAt(index);
  }
  // A new item at the end, owned by the collection.
  virtual Persistent& AddItem() = 0;
  virtual void Clear() = 0;
  // The most items a stream may bring; more fail the read. An empty item costs two bytes
  // in a stream but hundreds in memory, so a small stream could otherwise ask for
  // gigabytes.
  virtual size_t MaxItems() const { return kMaxStreamItems; }
  static constexpr size_t kMaxStreamItems = 65536;

  // Nesting counter for batched changes; items tell their collection when they change.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
  }
  int UpdateCount() const { return updateCount_; }

 private:
  int updateCount_ = 0;
};

// A collection owning items of type T (T derives from Persistent and has a constructor
// taking the owning Collection*).
template <class T>
class OwnedCollection : public Collection {
 public:
  size_t Count() const override { return items_.size(); }
  T& operator[](size_t i) { return *items_[i]; }
  const T& operator[](size_t i) const { return *items_[i]; }
  Persistent& ItemAt(size_t index) override { return *items_[index]; }
  Persistent& AddItem() override { return Add(); }
  T& Add() {
    items_.push_back(std::make_unique<T>(this));
    return *items_.back();
  }
  void Clear() override { items_.clear(); }
  // Exchanges the complete items at two positions.
  void Exchange(size_t a, size_t b) { std::swap(items_[a], items_[b]); }
  // Hands the items over to the caller; the collection is empty afterwards.
  std::vector<std::unique_ptr<T>> TakeItems() { return std::move(items_); }

 protected:
  std::vector<std::unique_ptr<T>> items_;
};

// A root object of a stream: its Name comes from the stream's object name; Tag is an
// ordinary integer property. Derived roots list {"Name", Text, not stored} and
// {"Tag", Integer, default 0} first and answer them with RootProperty(0) and (1).
class StreamRoot : public Persistent {
 public:
  std::string Name;
  int32_t Tag = 0;

 protected:
  PropRef RootProperty(size_t index);
};

// Reads a stream into `root`, which supplies the property lists (the stream's class name
// is not checked). Properties absent from the stream keep their values.
void ReadComponent(std::string_view bytes, StreamRoot& root);
// Writes `root` with no prefix, its class name, an empty object name and its properties.
std::string WriteComponent(const StreamRoot& root);

// Identifier tables of colours and character sets. Unknown identifiers are tolerated
// by the reader (the value is then left as it was): they matter only to the display.
std::optional<int32_t> ColorFromIdent(std::string_view ident);
std::optional<int32_t> CharsetFromIdent(std::string_view ident);

}  // namespace dz
