#pragma once
// The nominal tone frequencies in Hz, tone 1 to 16, in the kinds the tone
// tables hold them: 16-bit integers on the left, 32-bit floats on the right.
// The channels differ only at tone 3 and tone 12, where each channel's tone
// falls on a bin the other channel leaves empty: that is where crosstalk is
// read.
#include <array>
#include <cstdint>

namespace multitone {

inline constexpr std::array<std::int16_t, 16> kLeftTonesHz = {
    30, 70, 100, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 9900, 12000, 15000, 18000, 20000};
inline constexpr std::array<float, 16> kRightTonesHz = {
    30, 70, 130, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 10100, 12000, 15000, 18000, 20000};

}  // namespace multitone
