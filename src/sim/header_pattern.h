#pragma once
// Command header patterns as SCPI documents them: "SYSTem:ERRor[:NEXT]?".
// Upper-case letters are the short form, the whole word the long form, either
// is accepted in any case; "#" after a mnemonic admits a numeric suffix (1
// when none is written); "[:NODE]" may be left out; a final "?" marks a query;
// a leading "*" a common command.
#include <array>
#include <string_view>

#include "sim/scpi_parser.h"

namespace multitone::sim {

constexpr std::size_t kMaxPatternSuffixes = 4;
using Suffixes = std::array<int, kMaxPatternSuffixes>;

// True when `unit` (header and query flag) matches `pattern`; the suffixes
// of the pattern's "#" nodes are stored in order.
bool MatchHeader(std::string_view pattern, const ProgramUnit& unit, Suffixes& suffixes);

}  // namespace multitone::sim
