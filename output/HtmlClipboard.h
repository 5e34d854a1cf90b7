#pragma once
// HTML for the clipboard: the character escaping of our tables and the envelope that
// announces an HTML fragment to programs reading the "HTML Format" clipboard type.
//
// Both work on 8-bit (Windows-1252) text and never raise.

#include <string>
#include <string_view>

namespace dz {

// Space becomes "&nbsp;"; the bytes 0xA1-0xFF become "&#<value>;", except Ä Ö Ü ä ö ü ß
// which get their named entities; the bullet 0x95 becomes "&#8226;"; the other bytes
// 0x80-0xA0 become references to their Unicode characters ("&#8364;" for the euro sign),
// so the fragment is plain ASCII; CR becomes "<br>" and LF is removed. Everything else, "&", "<",
// ">" and '"' included, passes unchanged: the texts are the user's own positions, and programs
// pasting them expect them as typed.
std::string HTMLEscape(std::string_view text);

// "Version:1.0" and the four byte offsets (StartHTML, EndHTML, StartFragment,
// EndFragment, eight digits each), then the document around `fragment`. The header is
// always 97 bytes, the text before the fragment 75 and after it 33.
std::string HTMLClipboardEnvelope(std::string_view fragment);

}  // namespace dz
