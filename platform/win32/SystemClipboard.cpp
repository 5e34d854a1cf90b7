#include "platform/SystemClipboard.h"

#include <cstring>

#include "platform/Cp1252Codec.h"
#include "platform/Platform.h"
#include "platform/win32/WinUtil.h"

namespace dz {

namespace {

// A moveable, shareable global block holding `size` bytes from `data`; null when the
// memory ran out.
HGLOBAL GlobalCopy(const void* data, size_t size) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size);
  if (!mem || size == 0) return mem;
  void* out = GlobalLock(mem);
  if (!out) {
    GlobalFree(mem);
    return nullptr;
  }
  std::memcpy(out, data, size);
  GlobalUnlock(mem);
  return mem;
}

HGLOBAL BlockMemory(const SystemClipboardBlock& block) {
  if (!block.format.empty()) return GlobalCopy(block.bytes->data(), block.bytes->size());
  const std::u16string text = Cp1252ToUtf16(*block.bytes);
  return GlobalCopy(text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

UINT FormatId(std::string_view name) {
  if (name.empty()) return CF_UNICODETEXT;
  return RegisterClipboardFormatW(win::Wide(std::string(name)).c_str());
}

}  // namespace

SystemClipboardResult PutOnSystemClipboard(std::span<const SystemClipboardBlock> blocks) {
  // The clipboard's owner: a message-only window that lives for this call. The blocks are
  // rendered at once, so they stay on the clipboard after the window (or the process) is
  // gone.
  HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (!owner) return SystemClipboardResult::CannotOpen;
  // Another program may hold the clipboard for a moment: a few short tries.
  bool open = false;
  for (int attempt = 0; attempt < 5 && !(open = OpenClipboard(owner)); ++attempt) SleepMs(20);
  if (!open || !EmptyClipboard()) {
    if (open) CloseClipboard();
    DestroyWindow(owner);
    return SystemClipboardResult::CannotOpen;
  }
  for (const SystemClipboardBlock& block : blocks) {
    const UINT format = FormatId(block.format);
    HGLOBAL mem = format ? BlockMemory(block) : nullptr;
    if (mem && !SetClipboardData(format, mem)) GlobalFree(mem);
  }
  CloseClipboard();
  DestroyWindow(owner);
  return SystemClipboardResult::Put;
}

}  // namespace dz
