// The station file: each valid file gives its values (paths relative to the
// file's folder), each broken one its error at its place; a command line
// overrides the file, and the default file is the one MULTITONE_STATION_FILE
// names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/setup/station_file.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

using Values = std::map<std::string, std::string>;  // option -> value

struct StationCase {
  std::string content;
  Values values;      // when `error` is empty
  std::string error;  // exact, after "FILE:"
};

TEST(StationFile, EachFileGivesItsValuesOrItsErrorAtItsPlace) {
  const std::vector<StationCase> table = {
      {"", {}, ""},
      {"station = \"line3-st2\"\nlimits = \"pb200.toml\"\n[analyzer]\naddress = \"TCPIP::10.0.0.7::INSTR\"\n"
       "timeout_ms = 30000\n[results]\nurl = \"postgresql://qa@db/results\"\nspool = \"/var/lib/m/s.db\"\n"
       "[serve]\nlisten = \"0.0.0.0:8080\"\ntoken_file = \"token\"\n[outputs]\njson = \"../json\"\n",
       {{"--station", "line3-st2"}, {"--limits", "/etc/st/pb200.toml"},
        {"--analyzer", "TCPIP::10.0.0.7::INSTR"}, {"--timeout", "30000"},
        {"--results", "postgresql://qa@db/results"}, {"--spool", "/var/lib/m/s.db"},
        {"--listen", "0.0.0.0:8080"}, {"--token-file", "/etc/st/token"}, {"--json-dir", "/etc/json"}},
       ""},
      {"analyzer.address = \"sim\"\noperator = \"kim\"\nprompt = \"Scan the unit\"\n",
       {{"--analyzer", "sim"}, {"--operator", "kim"}, {"--prompt", "Scan the unit"}}, ""},
      {"station = 7\n", {}, "1:11: station must be a text in quotes"},
      {"station = \"\"\n", {}, "1:11: station must not be empty"},
      {"[analyzer]\ntimeout_ms = \"20000\"\n", {}, "2:14: analyzer.timeout_ms must be a whole number of milliseconds"},
      {"[analyzer]\ntimeout_ms = 1.5\n", {}, "2:14: analyzer.timeout_ms must be a whole number of milliseconds"},
      {"[analyzer]\ntimeout_ms = 0\n", {}, "2:14: analyzer.timeout_ms must be between 1 and 86400000"},
      {"\n  stationn = \"x\"\n", {},
       "2:3: unknown key 'stationn' (expected station, operator, prompt, limits, [analyzer], [results], "
       "[serve], [outputs])"},
      {"[serve]\nlisten = \"x:1\"\ntoken = \"abcdefgh\"\n", {},
       "3:1: the token itself never goes in the station file: put it in a file readable only by the "
       "station and name that file in serve.token_file"},
      {"[outputs]\nhtml = \"/tmp\"\n", {}, "2:1: unknown key 'html' in [outputs] (expected json, junit, report)"},
      {"analyzer = \"sim\"\n", {}, "1:12: analyzer must be a table ([analyzer])"},
      {"station = \"a\"\nstation = \"b\"\n", {}, "2:11: Error while parsing key-value pair: cannot redefine existing string 'station'"},
  };
  for (const StationCase& row : table) {
    SCOPED_TRACE(row.content);
    try {
      const StationFile file = ParseStationFile(row.content, "/etc/st/station.toml");
      EXPECT_EQ(row.error, "") << "accepted";
      Values values;
      for (const StationValue& value : file.values) values[std::string(value.key->option)] = value.value;
      EXPECT_EQ(values, row.values);
    } catch (const StationFileError& error) {
      EXPECT_EQ(error.what(), "/etc/st/station.toml:" + row.error);
    }
  }
}

// `config check` through the program: where each value came from, with the
// default file named by MULTITONE_STATION_FILE and the command line on top.
TEST(StationFile, CommandLineOverridesTheFileAndConfigCheckSaysWhereEachValueCameFrom) {
  const auto folder = std::filesystem::temp_directory_path() / ("station-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string limits = (folder / "limits.toml").string();
  std::filesystem::copy_file(std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml", limits,
                             std::filesystem::copy_options::overwrite_existing);
  const std::string station = (folder / "station.toml").string();
  std::ofstream(station) << "station = \"st-1\"\nlimits = \"limits.toml\"\n[analyzer]\naddress = \"sim\"\n"
                            "timeout_ms = 900\n[serve]\nlisten = \"127.0.0.1:9\"\n";
  ::setenv("MULTITONE_STATION_FILE", station.c_str(), 1);
  const ProgramResult result =
      RunProgram({MULTITONE_BINARY, "config", "check", "--station", "st-2", "--timeout", "1000"});
  ::setenv("MULTITONE_STATION_FILE", "", 1);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  for (const std::string& line : std::vector<std::string>
       {"station file: " + station, "station               st-2                                     command line",
        "limits                " + limits + " ",
        "analyzer.timeout_ms   1000                                     command line",
        "serve.listen          127.0.0.1:9                              " + station + ":7:10",
        "analyzer.address      sim                                      " + station + ":4:11"}) {
    EXPECT_THAT(result.out, ::testing::HasSubstr(line));
  }

  // A run takes its result folder from the file and names the file after the unit.
  std::ofstream(station, std::ios::app) << "[outputs]\njson = \".\"\n";
  const ProgramResult run =
      RunProgram({MULTITONE_BINARY, "--config", station, "--serial", "PB/7", "--quiet"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".json") written.push_back(entry.path().filename().string());
  }
  EXPECT_THAT(written, ::testing::ElementsAre(::testing::MatchesRegex(
                           "PB_7-20[0-9]{6}T[0-9]{6}\\.[0-9]{3}Z\\.json")));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace multitone::testing
