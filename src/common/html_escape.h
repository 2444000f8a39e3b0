#pragma once
// Text made safe to stand in HTML (and SVG) as text or as an attribute value:
// & < > " ' become entities, and bytes that are not UTF-8 or are control
// characters (but tab and line feed) become U+FFFD. The one place where text
// becomes HTML or XML.
#include <string>
#include <string_view>

namespace multitone {

std::string HtmlEscape(std::string_view text);

// The same, added to the end of `out`: documents are written into one string.
void AppendHtmlEscaped(std::string& out, std::string_view text);

}  // namespace multitone
