#pragma once
// The operating system's own clipboard, written directly, where it has one that programs
// share by format name: on Windows, registered formats and the Unicode text format. The
// window's toolkit cannot place such a format with the exact bytes in every case (it wraps
// HTML in an envelope of its own), so the copy goes past it there. Elsewhere the toolkit's
// clipboard is the only one, and these functions report that there is none.

#include <span>
#include <string>
#include <string_view>

namespace dz {

struct SystemClipboardBlock {
  // The registered format name; empty for the system's text format.
  std::string_view format;
  // The exact bytes of a registered format. For the text format: Windows-1252 text, which
  // goes on the clipboard as NUL-terminated UTF-16 (the system derives its 8-bit forms).
  const std::string* bytes;
};

enum class SystemClipboardResult {
  Put,         // every block is on the clipboard (a block whose memory ran out is left out)
  CannotOpen,  // another program holds the clipboard; nothing was changed
  None,        // this system has no such clipboard
};

// Empties the clipboard and puts the blocks on it in their order, each in its own global
// memory block that the system keeps after this process ends.
SystemClipboardResult PutOnSystemClipboard(std::span<const SystemClipboardBlock> blocks);

}  // namespace dz
