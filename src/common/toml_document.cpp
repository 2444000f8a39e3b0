#include "common/toml_document.h"

namespace multitone {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A comment's text that toml++ would take as it stands.
bool PlainCommentText(std::string_view text) {
  for (const char c : text) {
    if (!(c == '\t' || (c >= 0x20 && c <= 0x7e))) return false;
  }
  return true;
}

}  // namespace

std::string WithoutCommentLines(std::string_view content) {
  if (content.find("\"\"\"") != std::string_view::npos || content.find("'''") != std::string_view::npos) {
    return std::string(content);
  }
  std::string kept;
  kept.reserve(content.size());
  while (!content.empty()) {
    const std::size_t newline = content.find('\n');
    const std::size_t end = newline == std::string_view::npos ? content.size() : newline + 1;
    const std::string_view line = content.substr(0, end);
    // The line's own text, without its end ("\n" or "\r\n").
    std::string_view text = line.substr(0, newline == std::string_view::npos ? line.size() : newline);
    if (!text.empty() && text.back() == '\r' && newline != std::string_view::npos) text.remove_suffix(1);
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    if (first < text.size() && text[first] == '#' && PlainCommentText(text.substr(first))) {
      kept.append(line.substr(text.size()));
    } else {
      kept.append(line);
    }
    content.remove_prefix(end);
  }
  return kept;
}

toml::table ParseTomlDocument(std::string_view content, std::string_view file) {
  try {
    return toml::parse(WithoutCommentLines(content), file);
  } catch (const toml::parse_error&) {
    // An error at the end of the file stands where the file ends, and the
    // comment lines dropped before it would move that: the error is the
    // whole text's own.
    return toml::parse(content, file);
  }
}

}  // namespace multitone
