// Reading values out of received message bytes: the lazy scan and the name index of the
// value store. The first byte picks the order of reads; the rest is the received store.

#include <cstddef>
#include <cstdint>
#include <string>

#include "docdata/Exception.h"
#include "hostlink/StreamStorage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned order = data[0];
  dz::TStreamStorage store;
  store.AppendRaw(data + 1, size - 1);
  store.SetPosition(0);

  static const std::u16string names[] = {u"DATA", u"COMMAND", u"INDEX",  u"SYNC",
                                         u"",     u"A",       u"\u00c4", u"X"};
  std::u16string first[8];
  for (unsigned i = 0; i < 8; ++i) {
    const std::u16string& name = names[(i + order) % 8];
    std::u16string text = store.ReadUnicodeString(name);
    std::string_view raw;
    bool found = store.FindValue(name, raw);
    // The same name must read the same however often and in whatever order it is read.
    if (text != store.ReadUnicodeString(name)) __builtin_trap();
    if (found && text.size() != raw.size() / 2) __builtin_trap();
    if (!found && !text.empty()) __builtin_trap();
    if (store.ScanPosition() < 0 || store.ScanPosition() > store.Size()) __builtin_trap();
    first[(i + order) % 8] = text;
  }
  for (unsigned i = 0; i < 8; ++i)
    if (store.ReadUnicodeString(names[i]) != first[i]) __builtin_trap();

  // Writing after received bytes: a name already there is refused, others go on the end.
  const std::int64_t before = store.Size();
  try {
    store.WriteUnicodeString(u"DATA", u"x");
    if (store.ReadUnicodeString(u"DATA") != u"x") __builtin_trap();
  } catch (const dz::Exception&) {
    if (store.Size() != before) __builtin_trap();
  }
  return 0;
}
