#include "sim/html_table.h"

#include <array>

namespace multitone::sim {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// "&amp;" and friends at the start of `text`; the decoded character and the
// length consumed, or 0 when it is no entity this analyzer knows.
std::size_t DecodeEntity(std::string_view text, char& out) {
  static constexpr std::array<std::pair<std::string_view, char>, 6> kNamed = {{
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&nbsp;", ' '}}};
  for (const auto& [name, c] : kNamed) {
    if (text.substr(0, name.size()) == name) {
      out = c;
      return name.size();
    }
  }
  if (text.size() > 3 && text[1] == '#') {
    std::size_t i = 2;
    int value = 0;
    while (i < text.size() && i < 6 && text[i] >= '0' && text[i] <= '9') value = value * 10 + (text[i++] - '0');
    if (i > 2 && i < text.size() && text[i] == ';') {
      out = (value >= 0x20 && value < 0x7f) ? static_cast<char>(value) : '?';
      return i + 1;
    }
  }
  return 0;
}

class TableBuilder {
 public:
  void StartRow() {
    if (rows_.size() < kMaxRows) rows_.emplace_back();
    cell_ = nullptr;
  }
  void StartCell() {
    if (rows_.empty()) StartRow();
    cell_ = nullptr;
    bold_ = false;
    if (rows_.back().size() < kMaxCells) {
      rows_.back().emplace_back();
      cell_ = &rows_.back().back();
    }
  }
  void EndCell() {
    if (cell_ != nullptr) Trim(cell_->text);
    cell_ = nullptr;
  }
  void Bold(bool on) {
    bold_ = on;
    if (cell_ != nullptr && on) cell_->bold = true;
  }
  void Text(char c) {
    if (cell_ == nullptr) return;  // text outside a cell is not shown
    const auto u = static_cast<unsigned char>(c);
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (!cell_->text.empty() && cell_->text.back() != ' ') Append(' ');
      return;
    }
    Append(u >= 0x20 && u < 0x7f ? c : '?');
  }
  TableRows Finish() {
    EndCell();
    for (auto& row : rows_) {
      for (auto& cell : row) Trim(cell.text);
    }
    return std::move(rows_);
  }

 private:
  void Append(char c) {
    if (cell_->text.size() < kMaxCellText) cell_->text += c;
    if (bold_) cell_->bold = true;
  }
  static void Trim(std::string& text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }

  TableRows rows_;
  TableCell* cell_ = nullptr;
  bool bold_ = false;
};

}  // namespace

TableRows ParseHtmlTable(std::string_view html) {
  TableBuilder table;
  std::size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '&') {
      char decoded = 0;
      if (const std::size_t length = DecodeEntity(html.substr(i), decoded)) {
        table.Text(decoded);
        i += length;
        continue;
      }
      table.Text(c);
      ++i;
      continue;
    }
    if (c != '<') {
      table.Text(c);
      ++i;
      continue;
    }
    if (html.substr(i, 4) == "<!--") {
      const std::size_t end = html.find("-->", i + 4);
      i = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    const std::size_t close = html.find('>', i);
    if (close == std::string_view::npos) break;  // an unfinished tag ends the text
    std::string_view tag = html.substr(i + 1, close - i - 1);
    i = close + 1;
    const bool end_tag = !tag.empty() && tag.front() == '/';
    if (end_tag) tag.remove_prefix(1);
    std::size_t name_length = 0;
    while (name_length < tag.size() && IsNameChar(tag[name_length])) ++name_length;
    const std::string name = LowerCase(tag.substr(0, name_length));
    if (!end_tag && (name == "script" || name == "style")) {
      const std::string closing = "</" + name;
      std::size_t end = i;
      for (; end < html.size(); ++end) {
        if (LowerCase(html.substr(end, closing.size())) == closing) break;
      }
      const std::size_t after = html.find('>', end);
      i = after == std::string_view::npos ? html.size() : after + 1;
      continue;
    }
    if (name == "tr") {
      if (end_tag) {
        table.EndCell();
      } else {
        table.StartRow();
      }
    } else if (name == "td" || name == "th") {
      if (end_tag) {
        table.EndCell();
      } else {
        table.StartCell();
        if (name == "th") table.Bold(true);
      }
    } else if (name == "b" || name == "strong") {
      table.Bold(!end_tag);
    } else if (name == "br" && !end_tag) {
      table.Text(' ');
    }
  }
  return table.Finish();
}

std::string EscapeMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u >= 0x7f) ? '?' : c;
      }
    }
  }
  return out;
}

}  // namespace multitone::sim
