// The limits file's [control] section: what it sets, and every mistake
// refused with its line and column.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "verdict/limits.h"

namespace multitone {
namespace {

constexpr const char* kFigure = "[noise]\nmax = -80\n";

TEST(ControlSection, SetsTheBaselineTheStopAndStatedCharts) {
  struct Case {
    const char* control;
    std::size_t baseline;
    bool stop;
    std::size_t stated;
  };
  const Case cases[] = {
      {"", 20, false, 0},  // no section: the defaults
      {"[control]\nbaseline = 30\n", 30, false, 0},
      {"[control]\nstop_on_alarm = true\nbaseline = 2\n", 2, true, 0},
      {"[control]\n[control.\"left reference_level\"]\ncentre = 0.19\nsigma = 1e-4\n"
       "[control.\"right response tone 16\"]\ncentre = -0.5\nsigma = 0.01\n[control.pitch_error]\n"
       "centre = 0\nsigma = 1\n",
       20, false, 3},
  };
  for (const Case& c : cases) {
    const Limits limits = ParseLimits(std::string(kFigure) + c.control, "l.toml");
    EXPECT_EQ(limits.control.baseline, c.baseline) << c.control;
    EXPECT_EQ(limits.control.stop_on_alarm, c.stop) << c.control;
    EXPECT_EQ(limits.control.stated.size(), c.stated) << c.control;
  }
  const Limits limits = ParseLimits(std::string(kFigure) + cases[3].control, "l.toml");
  EXPECT_EQ(limits.control.stated.at("right response tone 16").centre, -0.5);
  EXPECT_EQ(limits.control.stated.at("left reference_level").sigma, 1e-4);
}

TEST(ControlSection, RefusesWhatItCannotUseWithItsPlace) {
  struct Case {
    const char* control;
    const char* error;
  };
  const Case cases[] = {
      {"[control]\nbaseline = 1\n", "l.toml:4:12: control.baseline must be a whole number of runs from 2 to 1000"},
      {"[control]\nbaseline = 1001\n", "l.toml:4:12: control.baseline must be"},
      {"[control]\nbaseline = 20.5\n", "l.toml:4:12: control.baseline must be"},
      {"[control]\nstop_on_alarm = \"yes\"\n", "l.toml:4:17: control.stop_on_alarm must be true or false"},
      {"[control]\nstop_alarm = true\n", "l.toml:4:1: unknown key 'stop_alarm' in [control]"},
      {"[control]\n\"left noise\" = 3\n", "l.toml:4:1: unknown key 'left noise' in [control]"},
      {"[control.\"left level\"]\ncentre = 1\nsigma = 1\n", "l.toml:3:1: no chart 'left level'"},
      {"[control.\"left response tone 17\"]\ncentre = 1\nsigma = 1\n", "l.toml:3:1: no chart 'left response tone 17'"},
      {"[control.\"left noise\"]\ncentre = 1\n", "l.toml:3:1: [control.\"left noise\"] needs sigma"},
      {"[control.\"left noise\"]\ncentre = 1\nsigma = -1\n", "l.toml:5:9: sigma must be above 0"},
      {"[control.\"left noise\"]\ncentre = inf\nsigma = 1\n", "l.toml:4:10: centre must be a finite number"},
      {"[control.\"left noise\"]\ncentre = 1\nsigma = 1\nwidth = 2\n", "l.toml:6:9: unknown key 'width'"},
  };
  for (const Case& c : cases) {
    try {
      ParseLimits(std::string(kFigure) + c.control, "l.toml");
      ADD_FAILURE() << c.control << " accepted";
    } catch (const LimitsError& error) {
      EXPECT_THAT(error.what(), ::testing::StartsWith(c.error)) << c.control;
    }
  }
}

}  // namespace
}  // namespace multitone
