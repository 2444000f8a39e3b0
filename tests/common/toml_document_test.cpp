// TOML files read without their comment lines: the same document, the same
// errors at the same places, as toml++ reading the whole text.
#include "common/toml_document.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace multitone {
namespace {

struct Parsed {
  bool ok = false;
  toml::table table;
  std::string error;  // "line:column: description"
};

template <typename Parse>
Parsed Outcome(Parse parse) {
  Parsed parsed;
  try {
    parsed.table = parse();
    parsed.ok = true;
  } catch (const toml::parse_error& error) {
    std::ostringstream text;
    text << error.source().begin.line << ':' << error.source().begin.column << ": " << error.description();
    parsed.error = text.str();
  }
  return parsed;
}

std::string ExampleLimits() {
  std::ifstream in(std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(TomlDocument, ReadsWhatTheWholeTextSays) {
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"the example limits", ExampleLimits()},
      {"comments between tables and keys", "# a\n[t]\n  # b\n\tx = 1 # c\n#\ny = 'a # b'\n"},
      {"CRLF line ends", "# a\r\n[t]\r\n# b\r\nx = 1\r\n"},
      {"a comment as the last line, no end", "x = 1\n# the end"},
      {"comments inside an array over lines", "m = [\n# first\n  [1, 2],\n  # second\n  [3, 4],\n]\n"},
      {"a multi-line basic string", "s = \"\"\"\n# not a comment\n  # nor this\n\"\"\"\n# one\n"},
      {"a multi-line literal string", "s = '''\n# kept\n'''\n"},
      {"a comment in UTF-8", "# J\xc3\xbcrgen\nx = 1\n"},
      {"a comment with a control character", "x = 1\n# bell \x07\ny = 2\n"},
      {"a comment that is not UTF-8", "x = 1\n# \xff\ny = 2\n"},
      {"a bare CR in a comment", "x = 1\n# a\rb\ny = 2\n"},
      {"an error after comment lines", "# one\n# two\n  # three\nx = \n"},
      {"a key defined twice around comments", "x = 1\n# between\nx = 2\n"},
      {"a value cut by a comment line", "x = [1,\n# c\n"},
  };
  for (const auto& c : cases) {
    const Parsed whole = Outcome([&] { return toml::parse(std::string_view(c.text), std::string_view("f.toml")); });
    const Parsed without = Outcome([&] { return ParseTomlDocument(c.text, "f.toml"); });
    EXPECT_EQ(without.ok, whole.ok) << c.what << ": " << whole.error << " / " << without.error;
    EXPECT_EQ(without.error, whole.error) << c.what;
    EXPECT_TRUE(without.table == whole.table) << c.what;
  }
}

TEST(TomlDocument, DropsOnlyWholeLineCommentsItCanJudge) {
  const struct {
    const char* text;
    const char* kept;
  } cases[] = {
      {"# a\nx = 1 # b\n  \t# c\r\n#\n", "\nx = 1 # b\n\r\n\n"},
      {"# J\xc3\xbcrgen\n# \x07\n", "# J\xc3\xbcrgen\n# \x07\n"},
      {"# a\ns = '''\n# b\n'''\n", "# a\ns = '''\n# b\n'''\n"},
      {"# a\rb\n", "# a\rb\n"},
      {"x = 1\n# end", "x = 1\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithoutCommentLines(c.text), c.kept) << c.text;
}

}  // namespace
}  // namespace multitone
