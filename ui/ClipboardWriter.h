#pragma once
// Puts one copy of positions on the system clipboard, so that a paste can pick the richest
// form it understands. Where the system has a clipboard of registered formats (Windows),
// the copy goes there directly: "CF_DATAGRIDDATA", "HTML Format" and "CSV" with their exact
// bytes and the text as Unicode text; the toolkit would put an HTML envelope of its own in
// place of ours. Elsewhere every block of the payload goes into one QMimeData under its own
// type name: the three formats with their exact bytes for programs that know them,
// "text/html", "text/plain" and "text/csv" in UTF-8 for the rest.

#include "output/ClipboardExport.h"

class QClipboard;
class QMimeData;

namespace dz {

// A new QMimeData holding every block of the payload (the caller owns it).
QMimeData* PayloadMimeData(const ClipboardPayload& payload);

// Replaces the clipboard's content with the payload. Raises dz::Exception with
// "Zwischenablage kann nicht geöffnet werden" when there is no clipboard or it does not
// take the data (another program holds it); nothing is put on it then. The toolkit's
// stand-in platforms without a window system ("offscreen") keep their own clipboard.
void PutOnClipboard(const ClipboardPayload& payload, QClipboard* clipboard);

}  // namespace dz
