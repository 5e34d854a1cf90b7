#include "output/HtmlClipboard.h"

#include <cstdio>

#include "docdata/Cp1252.h"

namespace dz {

std::string HTMLEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case ' ':
        out += "&nbsp;";
        break;
      case 0xC4:
        out += "&Auml;";
        break;
      case 0xD6:
        out += "&Ouml;";
        break;
      case 0xDC:
        out += "&Uuml;";
        break;
      case 0xE4:
        out += "&auml;";
        break;
      case 0xF6:
        out += "&ouml;";
        break;
      case 0xFC:
        out += "&uuml;";
        break;
      case 0xDF:
        out += "&szlig;";
        break;
      case 0x95:
        out += "&#8226;";
        break;
      case '\r':
        out += "<br>";
        break;
      case '\n':
        break;
      default:
        if (c >= 0xA1) {
          out += "&#";
          out += std::to_string(c);
          out += ';';
        } else if (c >= 0x80) {
          // The Windows HTML clipboard type is read as UTF-8, so a raw Windows-1252 byte
          // here would arrive as a control character (the euro sign, quotes, dashes, the
          // non-breaking space). A reference to its Unicode character keeps the fragment
          // plain ASCII and right under either reading.
          out += "&#";
          out += std::to_string(static_cast<unsigned>(Cp1252ToUnicode(c)));
          out += ';';
        } else {
          out += ch;
        }
    }
  }
  return out;
}

std::string HTMLClipboardEnvelope(std::string_view fragment) {
  static constexpr std::string_view kBefore =
      "<sHtml><head><title>HTML clipboard</title></head><body><!--StartFragment-->";
  static constexpr std::string_view kAfter = "<!--EndFragment--></body></sHtml>";
  static constexpr size_t kHeader = 97;
  const size_t n = fragment.size();
  char header[160];
  std::snprintf(
      header, sizeof header, "Version:1.0\r\n%s%.8zu\r\n%s%.8zu\r\n%s%.8zu\r\n%s%.8zu\r\n",
      "StartHTML:", kHeader, "EndHTML:", kHeader + kBefore.size() + n + kAfter.size(),
      "StartFragment:", kHeader + kBefore.size(), "EndFragment:", kHeader + kBefore.size() + n);
  std::string out(header);
  out.reserve(out.size() + kBefore.size() + n + kAfter.size());
  out += kBefore;
  out += fragment;
  out += kAfter;
  return out;
}

}  // namespace dz
