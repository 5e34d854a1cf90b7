#include "platform/SystemClipboard.h"

namespace dz {

// Here the clipboard belongs to the window system, which only the toolkit speaks to.
SystemClipboardResult PutOnSystemClipboard(std::span<const SystemClipboardBlock>) {
  return SystemClipboardResult::None;
}

}  // namespace dz
