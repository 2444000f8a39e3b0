#pragma once
// Where two records of a run part: the first operation that differs (call,
// text, reply, block or error; times are not compared), and the figures the
// two runs wrote back to the analyzer's memory strings that differ.
#include <optional>
#include <string>
#include <vector>

#include "replay/link_record.h"

namespace multitone {

struct FigureDifference {
  int memory_string = 0;  // 1..8 and the others the run writes
  std::string first;      // the text set, "" when that run set none
  std::string second;
};

struct RecordDifference {
  // 1-based; nullopt when every operation agrees and the counts are equal.
  std::optional<std::size_t> first_operation;
  std::vector<FigureDifference> figures;
};

RecordDifference DifferenceOf(const LinkRecord& first, const LinkRecord& second);

// For people: "operation 35 differs:\n  A: ...\n  B: ...\nmemory string 2:
// ..." or "the records agree in all N operations".
std::string DescribeDifference(const LinkRecord& first, const LinkRecord& second,
                               const RecordDifference& difference);

}  // namespace multitone
