// Control limits stated in a file: read by chart name, refused with the
// place of what is wrong.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "line/stated_limits.h"

namespace multitone {
namespace {

TEST(StatedLimits, ReadsEachChartAndRefusesWhatCannotBeUsed) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("multitone-control-" + std::to_string(::getpid()) + ".toml");
  struct Case {
    const char* text;
    const char* error;  // "" when it reads
  };
  const Case cases[] = {
      {"[control.\"left reference_level\"]\ncentre = 0.1936\nsigma = 2e-5\n", ""},
      {"[control.\"left reference_level\"]\ncentre = 0.1936\n", ":1:1: [control.\"left reference_level\"] needs sigma"},
      {"[control.\"left noise\"]\ncentre = 1\nsigma = 0\n", ":3:9: sigma must be above 0"},
      {"[control.\"left noise\"]\ncentre = 1\nsigma = 1\nspread = 2\n", ":4:10: unknown key 'spread'"},
      {"[control.\"left noise\"]\ncentre = \"x\"\nsigma = 1\n", ":2:10: centre must be a finite number"},
      {"[limits]\n", "no [control] table"},
      {"[control\n", ":1:"},
  };
  for (const Case& c : cases) {
    std::ofstream(path) << c.text;
    if (*c.error == '\0') {
      const StatedLimits stated = ReadStatedLimits(path.string());
      ASSERT_EQ(stated.size(), 1u);
      EXPECT_EQ(stated.at("left reference_level").centre, 0.1936);
      EXPECT_EQ(stated.at("left reference_level").sigma, 2e-5);
      continue;
    }
    try {
      ReadStatedLimits(path.string());
      ADD_FAILURE() << c.text << " accepted";
    } catch (const StatedLimitsError& error) {
      EXPECT_THAT(error.what(), ::testing::HasSubstr(c.error)) << c.text;
    }
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace multitone
