#include "replay/record_difference.h"

#include <algorithm>
#include <map>

#include "link/analyzer_link.h"
#include "replay/record_transcript.h"

namespace multitone {
namespace {

// The run writes memory string N as "syst:mem:strN 'TEXT'".
constexpr std::string_view kMemoryString = "syst:mem:str";

std::map<int, std::string> MemoryStrings(const LinkRecord& record) {
  std::map<int, std::string> strings;
  for (const LinkOperation& operation : record.operations) {
    if (operation.call != LinkCall::Write || operation.text.rfind(kMemoryString, 0) != 0) continue;
    const std::string_view rest = std::string_view(operation.text).substr(kMemoryString.size());
    const auto blank = rest.find(' ');
    if (blank == std::string_view::npos || blank == 0 || blank > 3) continue;  // a query, or not a number
    const std::string_view digits = rest.substr(0, blank);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    strings[std::stoi(std::string(digits))] = std::string(rest.substr(blank + 1));
  }
  return strings;
}

std::string Side(const LinkRecord& record, std::size_t index) {
  if (index >= record.operations.size()) return "(the record ends)\n";
  std::string line = TranscriptOf(record.operations[index]);
  // Without the times: they are not compared.
  std::string out;
  for (std::size_t at = 0; at < line.size();) {
    const auto end = line.find('\n', at);
    out += (out.empty() ? "" : "     ") + line.substr(at + 15, end - at - 15) + "\n";
    at = end + 1;
  }
  return out;
}

}  // namespace

RecordDifference DifferenceOf(const LinkRecord& first, const LinkRecord& second) {
  RecordDifference difference;
  const std::size_t common = std::min(first.operations.size(), second.operations.size());
  for (std::size_t i = 0; i < common && !difference.first_operation; ++i) {
    if (!first.operations[i].SameExchange(second.operations[i])) difference.first_operation = i + 1;
  }
  if (!difference.first_operation && first.operations.size() != second.operations.size()) {
    difference.first_operation = common + 1;
  }
  const auto a = MemoryStrings(first);
  const auto b = MemoryStrings(second);
  std::map<int, FigureDifference> figures;
  for (const auto& [number, text] : a) figures[number] = {number, text, ""};
  for (const auto& [number, text] : b) {
    figures.try_emplace(number, FigureDifference{number, "", ""});
    figures[number].second = text;
  }
  for (const auto& [number, figure] : figures) {
    if (figure.first != figure.second) difference.figures.push_back(figure);
  }
  return difference;
}

std::string DescribeDifference(const LinkRecord& first, const LinkRecord& second, const RecordDifference& difference) {
  if (!difference.first_operation) {
    return "the records agree in all " + std::to_string(first.operations.size()) + " operations\n";
  }
  const std::size_t index = *difference.first_operation - 1;
  std::string out = "operation " + std::to_string(*difference.first_operation) + " differs:\n  A: " +
                    Side(first, index) + "  B: " + Side(second, index);
  for (const FigureDifference& figure : difference.figures) {
    out += "memory string " + std::to_string(figure.memory_string) + ": A " +
           (figure.first.empty() ? "(not set)" : EscapeForTrace(figure.first)) + "\n" +
           std::string(16 + std::to_string(figure.memory_string).size(), ' ') + "B " +
           (figure.second.empty() ? "(not set)" : EscapeForTrace(figure.second)) + "\n";
  }
  return out;
}

}  // namespace multitone
