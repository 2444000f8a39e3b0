#include "sim/screen_text.h"

#include <algorithm>

#include "sim/html_table.h"

namespace multitone::sim {
namespace {

constexpr std::size_t kShownMemoryStrings = 8;

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

std::string ScreenText(const InstrumentState& state) {
  std::string out;
  const TableRows rows = ParseHtmlTable(state.explanation.text);
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (widths.size() <= i) widths.push_back(0);
      widths[i] = std::max(widths[i], Trimmed(row[i].text).size());
    }
  }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      const std::string cell = Trimmed(row[i].text);
      const std::string pad(widths[i] - cell.size(), ' ');
      // Labels to the left, figures to the right.
      line += i == 0 ? cell + pad : "  " + pad + cell;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  if (!rows.empty()) out += "\n";
  out += "Memory strings\n";
  for (std::size_t i = 0; i < kShownMemoryStrings; ++i) {
    std::string text;
    for (const char c : state.memory[i]) {
      const auto u = static_cast<unsigned char>(c);
      text += (u < 0x20 || u >= 0x7f) ? '?' : c;
    }
    out += "  " + std::to_string(i + 1) + ": " + text + "\n";
  }
  return out;
}

}  // namespace multitone::sim
