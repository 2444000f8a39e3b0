#include "common/html_escape.h"

#include "common/utf8_text.h"

namespace multitone {
namespace {

// Printable ASCII, tab and line feed, none of them to become an entity: the
// usual name or number, which stands as it is.
bool StandsAsItIs(std::string_view text) {
  for (const char c : text) {
    const bool plain = (c >= 0x20 && c < 0x7f) || c == '\t' || c == '\n';
    if (!plain || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') return false;
  }
  return true;
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view raw) {
  if (StandsAsItIs(raw)) {
    out.append(raw);
    return;
  }
  // Bytes that are not UTF-8, and control characters, become U+FFFD: the
  // page or document stays well-formed whatever a name or a reply held.
  const std::string text = PrintableUtf8(raw);
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
}

std::string HtmlEscape(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  AppendHtmlEscaped(out, raw);
  return out;
}

}  // namespace multitone
