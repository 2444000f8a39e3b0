// The limits file's [golden] section: what is refused (with its place), how
// a golden unit's run is compared with its references, and how `golden add`
// rewrites one entry and nothing else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "verdict/golden_comparison.h"
#include "verdict/golden_entry_text.h"
#include "verdict/limits.h"

namespace multitone {
namespace {

const std::string kJudged = "[noise]\nmax = 1\n";
const std::string kSection = "[golden]\nevery = \"8h\"\ntolerance = 0.2\n";
const std::string kUnit = "[golden.unit.G1.left]\nreference_level = 0.2\n";

std::string GoldenErrorOf(const std::string& content) {
  try {
    ParseLimits(content, "l.toml");
  } catch (const LimitsError& error) {
    return error.what();
  }
  return "(accepted)";
}

TEST(GoldenSection, RefusedWithItsPlace) {
  struct Case {
    std::string content;
    const char* error_start;
  };
  const Case cases[] = {
      {"[golden]\nevery = \"8h\"\ntolerance = 0.2\nspeed = 1\n" + kUnit, "l.toml:4:1: unknown key 'speed' in [golden]"},
      {"[golden]\nevery = \"8 hours\"\ntolerance = 0.2\n" + kUnit,
       "l.toml:2:9: golden.every must be a text like \"8h\""},
      {"[golden]\nevery = 8\ntolerance = 0.2\n" + kUnit, "l.toml:2:9: golden.every must be"},
      {"[golden]\nevery_units = 0\ntolerance = 0.2\n" + kUnit, "l.toml:2:15: golden.every_units must be a whole"},
      {"[golden]\ntolerance = 0.2\n" + kUnit, "l.toml:1:1: [golden] needs an interval"},
      {"[golden]\nevery = \"1d\"\n" + kUnit, "l.toml:1:1: [golden] needs tolerance"},
      {"[golden]\nevery = \"1d\"\ntolerance = -1\n" + kUnit, "l.toml:3:13: golden.tolerance must not be negative"},
      {kSection, "l.toml:1:1: [golden] names no golden unit"},
      {kSection + "[golden.tolerances]\nspeed = 1\n" + kUnit, "l.toml:5:1: unknown key 'speed' in [golden.tolerances]"},
      {kSection + "[golden.unit.G1]\ntolerance = 1\n", "l.toml:4:1: [golden.unit.G1] gives no reference figure"},
      {kSection + "[golden.unit.G1]\ncolour = 1\n", "l.toml:5:1: unknown key 'colour' in [golden.unit.G1]"},
      {kSection + "[golden.unit.G1.left]\nnoise = 0\n", "l.toml:5:9: golden.unit.G1.left.noise must be above 0"},
      {kSection + "[golden.unit.G1.left]\nhum = 1\n", "l.toml:5:1: unknown key 'hum' in [golden.unit.G1.left]"},
      {kSection + "[golden.unit.G1.left]\nresponse = [1, 2]\n",
       "l.toml:5:12: golden.unit.G1.left.response must be an array of the 16"},
      {kSection + "[golden.unit.G1.left]\nresponse = [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, inf]\n",
       "l.toml:5:64: golden.unit.G1.left.response: each tone"},
      {kSection + "[golden.unit.G1.middle]\nnoise = 1\n", "l.toml:4:17: unknown key 'middle' in [golden.unit.G1]"},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(GoldenErrorOf(c.content + kJudged), ::testing::StartsWith(c.error_start)) << c.content;
  }
}

TEST(GoldenSection, ReadAsWritten) {
  const Limits limits = ParseLimits(kJudged +
                                        "[golden]\nevery = \"90m\"\nevery_units = 500\ntolerance = 0.25\n"
                                        "[golden.tolerances]\nnoise = 1.5\npitch_error = 0.02\n"
                                        "[golden.unit.\"G 1\"]\npitch_error = 0.01\ntolerance = 0.4\n"
                                        "[golden.unit.\"G 1\".right]\nsignal_to_noise = 80\n"
                                        "response = [0, 1, 2, 3, 4, 5, 6, nan, 8, 9, 10, 11, 12, 13, 14, 15]\n"
                                        "[golden.unit.G2.left]\ntotal_level = 0.77\n",
                                    "l.toml");
  const GoldenSettings& golden = limits.golden;
  EXPECT_EQ(golden.every, std::chrono::seconds(5400));
  EXPECT_EQ(golden.every_units, 500);
  const GoldenUnit* g1 = golden.Find("G 1");
  ASSERT_TRUE(g1 != nullptr && golden.units.size() == 2);
  EXPECT_EQ(g1->Of(Channel::Right, Figure::SignalToNoise), 80);
  EXPECT_EQ(g1->response[1][6], 6);
  EXPECT_FALSE(g1->response[1][7].has_value());  // nan: not compared
  // Per-figure overrides win, then the unit's own, then the section's.
  EXPECT_EQ(golden.ToleranceFor(*g1, "noise"), 1.5);
  EXPECT_EQ(golden.ToleranceFor(*g1, "response"), 0.4);
  EXPECT_EQ(golden.ToleranceFor(*golden.Find("G2"), "response"), 0.25);
  EXPECT_EQ(golden.ToleranceFor(*g1, "pitch_error"), 0.02);
  EXPECT_FALSE(ParseLimits(kJudged, "l.toml").golden.present);
}

RunResults Measured(double reference_level_v, double noise_v, double tone3_db) {
  RunResults results;
  results.complete = true;
  results.pitch_error = {0.05, true};
  for (const Channel channel : kChannels) {
    ChannelResults& c = results.Of(channel);
    c[Figure::ReferenceLevel] = {reference_level_v, true};
    c[Figure::Noise] = {noise_v, noise_v > 0};
    c[Figure::SignalToNoise] = {70, true};
    for (int t = 1; t <= 16; ++t) c.tones.push_back({t, 100.0 * t, 100.0 * t, {t == 3 ? tone3_db : 0.0, true}});
  }
  return results;
}

TEST(GoldenComparison, NamesEachFigureThatMovedAndByHowMuch) {
  const Limits limits =
      ParseLimits(kJudged + kSection +
                      "[golden.tolerances]\nresponse = 0.5\n"
                      "[golden.unit.G1]\npitch_error = 0.0\n"
                      "[golden.unit.G1.left]\nreference_level = 0.2\nnoise = 1e-5\n"
                      "response = [nan, nan, -1, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan]\n",
                  "l.toml");
  const GoldenUnit& unit = *limits.golden.Find("G1");
  struct Case {
    RunResults results;
    bool passed;
    std::string line;
  };
  const double up_042 = 0.2 * std::pow(10.0, 0.42 / 20);
  RunResults failed_run = Measured(0.2, 1e-5, -1);
  failed_run.error = RunFailure{440, "AcquireSpectra", "closed"};
  const Case cases[] = {
      // pitch_error has no tolerance of its own: not compared.
      {Measured(0.2, 1e-5, -1.2), true, "golden check passed"},
      {Measured(up_042, 1e-5, -1), false,
       "golden check FAILED: left reference_level moved +0.42 dB (tolerance 0.2 dB)"},
      {Measured(0.2, 2e-5, -1.6), false,
       "golden check FAILED: left noise moved +6.02 dB (tolerance 0.2 dB); "
       "left response tone 3 (300 Hz) moved -0.6 dB (tolerance 0.5 dB)"},
      {Measured(0.2, 0, -1), false, "golden check FAILED: left noise not defined (tolerance 0.2 dB)"},
      {failed_run, false, "golden check FAILED: the run did not complete (error 440: AcquireSpectra: closed)"},
  };
  for (const Case& c : cases) {
    const GoldenCheck check = CompareWithGolden(c.results, unit, limits.golden);
    EXPECT_EQ(check.passed, c.passed) << c.line;
    EXPECT_EQ(GoldenCheckLine(check), c.line);
    EXPECT_EQ(check.compared.size(), 3u);  // reference_level, noise, tone 3
  }
}

TEST(GoldenEntryText, ReplacesOnlyThatUnitsEntry) {
  const std::string before = "# our product\n" + kJudged + kSection + "\n[golden.unit.G1]\ntolerance = 0.3\n" +
                             "[golden.unit.G1.left]\nreference_level = 0.2\n# G2 is the spare\n" +
                             "[golden.unit.G2.right]\nnoise = 2e-05\n";
  GoldenUnit g1;
  g1.serial = "G1";
  g1.Of(Channel::Right, Figure::ReferenceLevel) = 0.25;
  g1.response[1][0] = -0.5;
  const std::string after = WithGoldenEntry(before, "l.toml", g1, std::nullopt);
  EXPECT_EQ(after,
            "# our product\n" + kJudged + kSection + "# G2 is the spare\n[golden.unit.G2.right]\nnoise = 2e-05\n" +
                "\n[golden.unit.G1]\n[golden.unit.G1.right]\nreference_level = 0.25\n"
                "response = [-0.5, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan]\n");

  // A file with no section gets one, with the interval given.
  const Limits added = ParseLimits(WithGoldenEntry(kJudged, "l.toml", g1, NewGoldenSection{"", 500, 0.3}), "l.toml");
  EXPECT_EQ(added.golden.every_units, 500);
  EXPECT_EQ(added.golden.tolerance, 0.3);
}

TEST(GoldenEntryText, RefusesWhatItCannotRewriteSafely) {
  GoldenUnit g1;
  g1.serial = "G1";
  g1.pitch_error = 0.01;
  const std::pair<std::string, const char*> cases[] = {
      {kJudged, "cannot rewrite safely: it has no [golden] section yet"},
      {kJudged + kSection + "[golden.unit]\nG1 = { left = { noise = 1e-5 } }\n", "by hand"},
      {kJudged + kSection + "[golden.unit]\nG1.left.total_level = 1\n", "by hand"},
  };
  for (const auto& [content, error] : cases) {
    EXPECT_THAT([&] { WithGoldenEntry(content, "l.toml", g1, std::nullopt); },
                ::testing::ThrowsMessage<LimitsError>(::testing::HasSubstr(error)))
        << content;
  }
}

}  // namespace
}  // namespace multitone
