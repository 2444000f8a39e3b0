#include "common/html_escape.h"

#include "common/utf8_text.h"

namespace multitone {

std::string HtmlEscape(std::string_view raw) {
  // Bytes that are not UTF-8, and control characters, become U+FFFD: the
  // page or document stays well-formed whatever a name or a reply held.
  const std::string text = PrintableUtf8(raw);
  std::string out;
  out.reserve(text.size());
  std::string_view rest = text;
  for (std::size_t at; (at = rest.find_first_of("&<>\"'")) != std::string_view::npos;) {
    out.append(rest.substr(0, at));
    switch (rest[at]) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += "&#39;"; break;
    }
    rest.remove_prefix(at + 1);
  }
  out.append(rest);
  return out;
}

}  // namespace multitone
