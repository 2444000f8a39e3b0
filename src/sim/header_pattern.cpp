#include "sim/header_pattern.h"

#include <vector>

namespace multitone::sim {
namespace {

struct PatternNode {
  std::string_view word;  // "SENSe"
  bool suffix = false;
  bool optional = false;
};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameUpper(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (Upper(word[i]) != upper[i]) return false;
  }
  return true;
}

bool NodeMatches(const PatternNode& p, const HeaderNode& n) {
  if (n.suffix != 0 && !p.suffix) return false;
  std::size_t short_length = 0;
  while (short_length < p.word.size() && !(p.word[short_length] >= 'a' && p.word[short_length] <= 'z')) {
    ++short_length;
  }
  return SameUpper(p.word, n.mnemonic) || SameUpper(p.word.substr(0, short_length), n.mnemonic);
}

std::vector<PatternNode> Nodes(std::string_view pattern) {
  std::vector<PatternNode> nodes;
  std::size_t i = 0;
  while (i < pattern.size()) {
    bool optional = false;
    if (pattern[i] == '[') {
      optional = true;
      ++i;
    }
    if (i < pattern.size() && pattern[i] == ':') ++i;
    std::size_t end = i;
    while (end < pattern.size() && pattern[end] != ':' && pattern[end] != '[' && pattern[end] != ']') ++end;
    PatternNode node{pattern.substr(i, end - i), false, optional};
    if (!node.word.empty() && node.word.back() == '#') {
      node.suffix = true;
      node.word.remove_suffix(1);
    }
    nodes.push_back(node);
    i = end;
    if (i < pattern.size() && pattern[i] == ']') ++i;
  }
  return nodes;
}

bool Match(const std::vector<PatternNode>& pattern, std::size_t p, const std::vector<HeaderNode>& header,
           std::size_t h, Suffixes& suffixes, std::size_t s) {
  if (p == pattern.size()) return h == header.size();
  const PatternNode& node = pattern[p];
  if (h < header.size() && NodeMatches(node, header[h])) {
    Suffixes attempt = suffixes;
    std::size_t next = s;
    if (node.suffix && next < kMaxPatternSuffixes) {
      attempt[next++] = header[h].suffix == 0 ? 1 : header[h].suffix;
    }
    if (Match(pattern, p + 1, header, h + 1, attempt, next)) {
      suffixes = attempt;
      return true;
    }
  }
  if (node.optional) {
    if (node.suffix && s < kMaxPatternSuffixes) suffixes[s++] = 1;
    return Match(pattern, p + 1, header, h, suffixes, s);
  }
  return false;
}

}  // namespace

bool MatchHeader(std::string_view pattern, const ProgramUnit& unit, Suffixes& suffixes) {
  const bool query = !pattern.empty() && pattern.back() == '?';
  if (query != unit.query) return false;
  if (query) pattern.remove_suffix(1);
  const bool common = !pattern.empty() && pattern.front() == '*';
  if (common != unit.common) return false;
  suffixes.fill(1);
  if (common) return unit.nodes.size() == 1 && SameUpper(pattern, unit.nodes.front().mnemonic);
  return Match(Nodes(pattern), 0, unit.nodes, 0, suffixes, 0);
}

}  // namespace multitone::sim
