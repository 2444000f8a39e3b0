#pragma once
// The programs read their TOML files (limits, the station file, the line's
// stated limits) through here. Most of such a file is comment lines, and
// toml++ reads a comment character by character as it reads a value, so
// whole-line comments are dropped before it parses, where that cannot change
// what the document says.
#include <string>
#include <string_view>

#include <toml++/toml.h>

namespace multitone {

// `content` with the text of each whole-line comment removed: a line whose
// first character after blanks and tabs is '#' and that holds printable
// ASCII and tabs only (anything else is left for toml++ to judge). Each line
// keeps its end, so the parser's line numbers stay those of the file. When
// the document has a multi-line string (""" or ''') it is returned as it is:
// a line in such a string is text, not a comment.
std::string WithoutCommentLines(std::string_view content);

// toml::parse of `content` without its comment lines. A document that is not
// valid TOML is parsed again whole, so the toml::parse_error thrown is the
// one toml::parse throws, at the file's own line and column.
toml::table ParseTomlDocument(std::string_view content, std::string_view file);

}  // namespace multitone
