// multitone alarms through the real program: two simulated stations store
// the same 23 units (seeds 1 to 23) into one SQLite file; one of them drifts
// from run 21 on. The rules fire where they must on the drifting one and
// stay quiet on the steady one; each station raised, at the run itself, the
// very alarms computed afterwards over the whole store, stored once each,
// and the run's JSON carries them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "store/results_store.h"
#include "store/sqlite_database.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

const std::string kLimits = std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml";

struct AlarmLine {
  std::string station, chart, rule, run_id;
};

// "TIME  STATION  CHART  RULE  run RUN_ID  value ..." per alarm.
std::vector<AlarmLine> ParseAlarms(const std::string& out) {
  std::vector<AlarmLine> alarms;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    for (std::size_t at = 0; at != std::string::npos;) {
      const std::size_t gap = line.find("  ", at);
      fields.push_back(line.substr(at, gap == std::string::npos ? gap : gap - at));
      at = gap == std::string::npos ? gap : gap + 2;
    }
    if (fields.size() < 6 || fields[4].rfind("run ", 0) != 0) continue;
    alarms.push_back({fields[1], fields[2], fields[3], fields[4].substr(4)});
  }
  return alarms;
}

TEST(AlarmsProgram, ADriftingStationAlarmsAtTheRunTheRulesPredictAndASteadyOneDoesNot) {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-line.XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path folder = pattern;
  const std::string db = (folder / "line.db").string();

  // 0.01 dB per run moves the 0.1936 V tone by 0.1936 × (10^(0.01/20) - 1)
  // = 0.22 mV per run; the baseline's sigma of the reference level over
  // seeds 1 to 20 is about 0.02 mV, so run 21 is some 11 sigma out, and
  // every run after it further still.
  constexpr int kBaseline = 20, kRuns = 23;
  for (int k = 1; k <= kRuns; ++k) {
    const std::string seed = "seed=" + std::to_string(k);
    const std::string drift = ",drift=0.01,run=" + std::to_string(std::max(0, k - kBaseline));
    for (const auto& [station, analyzer] :
         {std::pair{"steady", "sim:" + seed}, std::pair{"drifting", "sim:" + seed + drift}}) {
      const ProgramResult run = RunProgram({MULTITONE_BINARY, "--analyzer", analyzer, "--limits", kLimits,
                                            "--serial", "SN" + std::to_string(k), "--station", station,
                                            "--results", db, "--quiet", "--json", (folder / "run.json").string()});
      ASSERT_EQ(run.exit_code, 0) << station << " run " << k << "\n" << run.err;
      if (std::string(station) != "drifting" || k != kBaseline + 1) continue;
      // The first drifting run: its own JSON names the level alarms it raised.
      std::ifstream file(folder / "run.json");
      const nlohmann::json doc = nlohmann::json::parse(file);
      std::vector<std::string> level_alarms;
      for (const auto& alarm : doc["alarms"]) {
        EXPECT_EQ(alarm["run_id"], doc["run_id"]);
        EXPECT_EQ(alarm["station"], "drifting");
        if (alarm["figure"] == "reference_level") {
          level_alarms.push_back(alarm["channel"].get<std::string>() + " " + alarm["rule"].get<std::string>());
        }
      }
      EXPECT_THAT(level_alarms, ::testing::UnorderedElementsAre("left beyond 3 sigma", "right beyond 3 sigma"));
      EXPECT_THAT(run.err, ::testing::HasSubstr("alarm: drifting left reference_level: beyond 3 sigma at run "));
    }
  }
  std::map<std::string, std::vector<std::string>> runs;  // station: run ids, oldest first
  {
    ResultsStore store(OpenSqlite(db));
    store.db().Query("SELECT station, run_id FROM runs ORDER BY started_at", {},
                     [&](const SqlRow& row) { runs[row.Text(0)].push_back(row.Text(1)); });
  }
  ASSERT_EQ(runs["drifting"].size(), static_cast<std::size_t>(kRuns));

  const ProgramResult result = RunProgram(
      {MULTITONE_BINARY, "alarms", "--recompute", "--results", db, "--baseline", std::to_string(kBaseline)});
  ASSERT_EQ(result.exit_code, 3) << result.err;  // some rule fired
  const auto alarms = ParseAlarms(result.out);
  EXPECT_THAT(result.out, ::testing::HasSubstr("over 94 charts"));  // 2 × (1 + 2 × (7 + 16))

  // The drifting station: the reference level beyond 3 sigma at runs 21,
  // 22 and 23 on both channels, and no level alarm before run 21.
  for (const char* chart : {"left reference_level", "right reference_level"}) {
    std::vector<std::string> beyond;
    for (const AlarmLine& a : alarms) {
      if (a.station == "drifting" && a.chart == chart && a.rule == "beyond 3 sigma") beyond.push_back(a.run_id);
    }
    const std::vector<std::string> predicted(runs["drifting"].begin() + kBaseline, runs["drifting"].end());
    EXPECT_EQ(beyond, predicted) << chart;
  }
  // The steady station, same units and seeds: its level charts raise
  // nothing. (Its other charts vary from seed to seed as the drifting
  // station's do; any alarm there is the rules' false-alarm rate, not drift.)
  for (const AlarmLine& a : alarms) {
    if (a.station != "steady") continue;
    EXPECT_THAT(a.chart, ::testing::Not(::testing::HasSubstr("level"))) << a.rule << " at " << a.run_id;
  }

  // --station keeps to one station; no drift there means no level alarm.
  // Raised at each run as the whole store's charts say afterwards; one row
  // per firing.
  const ProgramResult stored = RunProgram({MULTITONE_BINARY, "alarms", "--results", db, "--all"});
  auto keys = [](const std::vector<AlarmLine>& lines) {
    std::multiset<std::string> set;
    for (const AlarmLine& a : lines) set.insert(a.station + "|" + a.chart + "|" + a.rule + "|" + a.run_id);
    return set;
  };
  EXPECT_EQ(keys(ParseAlarms(stored.out)), keys(alarms));
  std::int64_t rows = 0;
  {
    ResultsStore store(OpenSqlite(db));
    store.db().Query("SELECT count(*) FROM alarms", {}, [&](const SqlRow& row) { rows = row.Int(0); });
  }
  EXPECT_EQ(rows, static_cast<std::int64_t>(alarms.size()));

  const ProgramResult steady = RunProgram({MULTITONE_BINARY, "alarms", "--recompute", "--results", db, "--station",
                                           "steady", "--baseline", std::to_string(kBaseline)});
  EXPECT_THAT(steady.out, ::testing::HasSubstr("over 47 charts"));
  for (const AlarmLine& a : ParseAlarms(steady.out)) EXPECT_EQ(a.station, "steady");

  // Limits stated for the left reference level, sigma 10 mV: no drift here
  // takes it beyond 3 sigma, and its alarms name the stated centre and
  // sigma (all 23 levels sit just above 0.1936 V: 8 in a row on one side);
  // the right chart keeps its baseline and still goes beyond 3 sigma.
  const std::string control = (folder / "control.toml").string();
  std::ofstream(control) << "[control.\"left reference_level\"]\ncentre = 0.1936\nsigma = 0.01\n";
  const ProgramResult stated = RunProgram({MULTITONE_BINARY, "alarms", "--recompute", "--results", db, "--station",
                                           "drifting", "--control", control});
  std::size_t left_beyond = 0, right_beyond = 0;
  for (const AlarmLine& a : ParseAlarms(stated.out)) {
    left_beyond += a.chart == "left reference_level" && a.rule == "beyond 3 sigma";
    right_beyond += a.chart == "right reference_level" && a.rule == "beyond 3 sigma";
  }
  EXPECT_EQ(left_beyond, 0u) << stated.out;
  EXPECT_EQ(right_beyond, 3u) << stated.out;
  EXPECT_THAT(stated.out, ::testing::HasSubstr("left reference_level  8 in a row on one side"));
  EXPECT_THAT(stated.out, ::testing::HasSubstr("(centre 0.1936, sigma 0.01)"));
  std::filesystem::remove_all(folder);
}

TEST(AlarmsProgram, StopOnAlarmRefusesTheNextUnitUntilTheAlarmIsAcknowledged) {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-stop.XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path folder = pattern;
  const std::string db = (folder / "line.db").string();
  const std::string limits = (folder / "limits.toml").string();
  {
    std::ifstream example(kLimits);
    std::ofstream(limits) << example.rdbuf() << "\n[control]\nbaseline = 5\nstop_on_alarm = true\n";
  }
  auto test = [&](int seed, const std::string& drift) {
    return RunProgram({MULTITONE_BINARY, "--analyzer", "sim:seed=" + std::to_string(seed) + drift, "--limits", limits,
                       "--serial", "SN" + std::to_string(seed), "--station", "st", "--results", db, "--quiet"});
  };
  for (int seed = 1; seed <= 5; ++seed) ASSERT_EQ(test(seed, "").exit_code, 0) << seed;
  // 0.1 dB up: the level some 140 sigma out; the unit itself still passes.
  const ProgramResult drifted = test(6, ",drift=0.01,run=10");
  ASSERT_EQ(drifted.exit_code, 0) << drifted.err;
  EXPECT_THAT(drifted.err, ::testing::HasSubstr("alarm: st left reference_level: beyond 3 sigma at run "));

  const ProgramResult refused = test(7, "");
  EXPECT_EQ(refused.exit_code, 4);
  EXPECT_THAT(refused.err, ::testing::HasSubstr("multitone: station st stops on an open alarm (stop_on_alarm): "));
  EXPECT_THAT(refused.err, ::testing::HasSubstr("acknowledge it first: multitone alarms ack"));
  std::int64_t runs = 0;
  {
    ResultsStore store(OpenSqlite(db));
    store.db().Query("SELECT count(*) FROM runs", {}, [&](const SqlRow& row) { runs = row.Int(0); });
  }
  EXPECT_EQ(runs, 6);  // the refused unit was not tested

  const ProgramResult ack = RunProgram({MULTITONE_BINARY, "alarms", "ack", "--results", db, "--station", "st",
                                        "--by", "Anna", "--note", "cable reseated"});
  EXPECT_EQ(ack.exit_code, 0) << ack.err;
  EXPECT_THAT(ack.out, ::testing::HasSubstr("acknowledged by Anna"));
  const ProgramResult again = RunProgram({MULTITONE_BINARY, "alarms", "ack", "--results", db, "--station", "st",
                                          "--by", "Anna"});
  EXPECT_EQ(again.exit_code, 3);
  EXPECT_THAT(again.err, ::testing::HasSubstr("no open alarm of station st matches"));

  const ProgramResult released = test(7, "");
  EXPECT_EQ(released.exit_code, 0) << released.err;
  const ProgramResult listed = RunProgram({MULTITONE_BINARY, "alarms", "--results", db, "--all"});
  EXPECT_THAT(listed.out, ::testing::HasSubstr("left reference_level  beyond 3 sigma  run "));
  EXPECT_THAT(listed.out, ::testing::HasSubstr("acknowledged by Anna at "));
  EXPECT_THAT(listed.out, ::testing::HasSubstr(": cable reseated\n"));
  std::filesystem::remove_all(folder);
}

TEST(AlarmsProgram, RefusesWhatItCannotUse) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* says;
  };
  const Case cases[] = {
      {{"--results", "sqlite::memory:", "--baseline", "1"}, 2, "not between"},
      {{"--results", "sqlite::memory:", "--since", "yesterday"}, 2, "not a date"},
      {{"--recompute", "--results", "sqlite::memory:", "--control", "/nonexistent/control.toml"}, 2, "cannot be read"},
      {{"ack", "--results", "sqlite::memory:", "--station", "s", "--by", "A", "--rule", "3 sigma"}, 2, "no rule '3 sigma'"},
      {{"ack", "--results", "sqlite::memory:", "--station", "s"}, 2, "--by is required"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {MULTITONE_BINARY, "alarms"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProgramResult result = RunProgram(argv);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.says;
    EXPECT_THAT(result.err, ::testing::HasSubstr(c.says));
  }
}

}  // namespace
}  // namespace multitone::testing
