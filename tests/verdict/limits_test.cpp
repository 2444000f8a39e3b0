// The limits file: a malformed file is refused with its line and column, and
// a channel's table overrides the figure's key by key.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "verdict/limits.h"

namespace multitone {
namespace {

std::string ErrorOf(const std::string& content) {
  try {
    ParseLimits(content, "l.toml");
  } catch (const LimitsError& error) {
    return error.what();
  }
  return "(accepted)";
}

TEST(Limits, MalformedFilesNameLineAndColumn) {
  struct Case {
    const char* content;
    const char* error_start;
  };
  const Case cases[] = {
      {"[pitch_error\nmin = 1\n", "l.toml:1:"},                          // syntax
      {"product = \"A\"\nspeed = 3\n", "l.toml:2:1: unknown key 'speed'"},
      {"[noise]\nmaximum = 1\n", "l.toml:2:1: unknown key 'maximum' in [noise]"},
      {"[noise]\nmax = \"1\"\n", "l.toml:2:7: noise.max must be a number"},
      {"[noise]\nmin = 2\nmax = 1\n", "l.toml:3:1: noise: min 2 is above max 1"},
      {"[noise.left]\nmin = 2\n[noise]\nmax = 1\n", "l.toml:2:1: noise.left: min 2 is above max 1"},
      {"[distortion]\nmarginal = -0.1\n", "l.toml:2:12: distortion.marginal must not be negative"},
      {"[pitch_error.left]\nmin = 1\n", "l.toml:1:14: unknown key 'left' in [pitch_error]"},
      {"[response]\nmask = [[100, -1, 1], [50, -1, 1]]\n", "l.toml:2:23: response.mask must be in ascending Hz"},
      {"[response]\nmask = [[100, -1]]\n", "l.toml:2:9: each response.mask point"},
      {"[response]\nmask = [[100, 1, -1]]\n", "l.toml:2:9: a mask point's low dB is above its high dB"},
      {"serial_pattern = '^PB2(\\d{7}$'\n", "l.toml:1:18: serial_pattern is not a valid regular expression"},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(ErrorOf(c.content), ::testing::StartsWith(c.error_start)) << c.content;
  }
}

TEST(Limits, AChannelOverridesOnlyWhatItGives) {
  const Limits limits = ParseLimits(
      "[signal_to_noise]\nmin = 60\nmax = 120\nmarginal = 1\n[signal_to_noise.right]\nmin = 58\n", "l.toml");
  const FigureLimit& left = limits.Of(Channel::Left, Figure::SignalToNoise);
  const FigureLimit& right = limits.Of(Channel::Right, Figure::SignalToNoise);
  EXPECT_EQ(left.min, 60);
  EXPECT_EQ(right.min, 58);
  EXPECT_EQ(right.max, 120);
  EXPECT_EQ(right.marginal, 1);
  EXPECT_TRUE(limits.Of(Channel::Left, Figure::Noise).Empty());
}

}  // namespace
}  // namespace multitone
