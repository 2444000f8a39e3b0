#pragma once
// The explanation window's HTML as this analyzer shows it: only table
// structure and text survive (tr, td, th, b, br); every other tag, every
// attribute, comments and the content of script and style elements are
// dropped; entities are decoded to text. The result is plain text to be
// escaped by whoever displays it. Sizes are bounded: kMaxRows rows of
// kMaxCells cells of kMaxCellText characters.
#include <string>
#include <string_view>
#include <vector>

namespace multitone::sim {

struct TableCell {
  std::string text;  // printable ASCII, blanks collapsed, trimmed
  bool bold = false;
};

using TableRows = std::vector<std::vector<TableCell>>;

constexpr std::size_t kMaxRows = 64;
constexpr std::size_t kMaxCells = 16;
constexpr std::size_t kMaxCellText = 200;

TableRows ParseHtmlTable(std::string_view html);

// The characters that must not reach XML or HTML unescaped, escaped.
std::string EscapeMarkup(std::string_view text);

}  // namespace multitone::sim
