#include "common/html_escape.h"

#include "common/utf8_text.h"

namespace multitone {

std::string HtmlEscape(std::string_view raw) {
  // Bytes that are not UTF-8, and control characters, become U+FFFD: the
  // page or document stays well-formed whatever a name or a reply held.
  const std::string text = PrintableUtf8(raw);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace multitone
