#pragma once
// A golden unit's entry written into a limits file by hand's rules: its
// tables [golden.unit.SERIAL], [golden.unit.SERIAL.left] and .right, put
// in place of the unit's earlier entry or after the file's last line, the
// rest of the file left as it was written.
#include <optional>
#include <string>
#include <string_view>

#include "verdict/golden_settings.h"

namespace multitone {

// What a new [golden] section starts with, when the file has none.
struct NewGoldenSection {
  std::string every;  // "8h", or empty
  std::optional<long long> every_units;
  double tolerance = 0.2;  // dB
};

// The unit's tables as TOML text (a blank line first).
std::string GoldenEntryText(const GoldenUnit& unit);

// `content` with the entry of `unit.serial` replaced by `unit`'s (or added,
// with a [golden] section from `section` when the file has none). Throws
// LimitsError naming `file` when the result would not be the same file with
// only that entry changed: an entry written another way (inline tables,
// dotted keys), a [golden] section that cannot take the entry, or no
// section and no interval for a new one.
std::string WithGoldenEntry(std::string_view content, const std::string& file, const GoldenUnit& unit,
                            const std::optional<NewGoldenSection>& section);

}  // namespace multitone
