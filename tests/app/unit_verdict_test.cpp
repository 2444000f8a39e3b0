// A unit judged through the real program: simulated devices against the
// shipped example limits, the verdict line and the exit status; and the JSON
// result read against the memory strings the analyzer received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "common/plain_number_text.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

const std::string kVerdictLimits = std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml";

TEST(UnitVerdict, SimulatedDevicesAgainstTheExampleLimits) {
  struct Case {
    const char* analyzer;
    int exit_code;
    const char* line_start;
    std::vector<const char*> named;  // figures the verdict line must name
  };
  const Case cases[] = {
      {"sim", 0, "PASS SN1 [SIMULATED]", {}},
      {"sim:fault=dead-right", 3, "FAIL SN1: ",
       {"right reference_level 0 V < 0.17 V", "right signal_to_noise not defined",
        "right response not defined at 15 tones"}},
      {"sim:fault=swapped", 3, "FAIL SN1: ", {"left crosstalk_100hz 74.3", "right signal_to_noise 11.67"}},
      {"sim:fault=clipping", 3, "FAIL SN1: ", {"left distortion 3.27", "right distortion 3.24"}},
      {"sim:fault=hum", 3, "FAIL SN1: ", {"left signal_to_noise 49.2", "right crosstalk_100hz -42.2"}},
      {"sim:fault=dead-left", 3, "FAIL SN1: pitch_error 100 % > 0.5 % (and error 9: ", {}},
      {"tcp://127.0.0.1:1", 1, "ERROR SN1: error 440: ConfigureAnalyzer: connection refused", {}},
  };
  for (const Case& c : cases) {
    const ProgramResult result =
        RunProgram({MULTITONE_BINARY, "--analyzer", c.analyzer, "--limits", kVerdictLimits, "--serial", "SN1"});
    EXPECT_EQ(result.exit_code, c.exit_code) << c.analyzer << "\n" << result.err;
    // The verdict line is the last line on stdout.
    std::string last = result.out.substr(0, result.out.size() - 1);
    last = last.substr(last.rfind('\n') + 1);
    EXPECT_THAT(last, ::testing::StartsWith(c.line_start)) << c.analyzer;
    for (const char* name : c.named) EXPECT_THAT(last, ::testing::HasSubstr(name)) << c.analyzer;
  }
}

TEST(UnitVerdict, UsageThatCouldPassAUnitWithoutMeasuringItIsRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {"--limits", kVerdictLimits},                           // no explicit analyzer
      {"--json", "-"},
      {"--analyzer", "sim", "--limits", "/no/such/limits.toml"},
      {"--analyzer", "sim", "--serial", std::string(65, 'A')},
      {"--analyzer", "sim", "--serial", "SN\x01"},
  };
  for (const std::vector<std::string>& given : cases) {
    std::vector<std::string> args{MULTITONE_BINARY};
    args.insert(args.end(), given.begin(), given.end());
    const ProgramResult result = RunProgram(args);
    EXPECT_EQ(result.exit_code, 2) << args[1] << " " << args[2];
    EXPECT_EQ(result.out, "") << args[1];
  }
}

// The memory strings on the simulated analyzer's screen: "  2:  .768 V, .77 V".
std::vector<std::string> MemoryStringValues(const std::string& screen, int number) {
  const std::string key = "\n  " + std::to_string(number) + ": ";
  const auto start = screen.find(key);
  if (start == std::string::npos) return {};
  std::string line = screen.substr(start + key.size());
  line = line.substr(0, line.find('\n'));
  std::vector<std::string> values;
  std::istringstream parts(line);
  for (std::string part; std::getline(parts, part, ',');) {
    values.push_back(part.substr(0, part.rfind(' ')));  // the unit goes
  }
  return values;
}

TEST(UnitVerdict, JsonValuesAreTheMemoryStringsValues) {
  const std::string json_file = ::testing::TempDir() + "/unit.json";
  const ProgramResult result =
      RunProgram({MULTITONE_BINARY, "--analyzer", "sim:speed=1.0012,seed=3", "--json", json_file});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::ifstream in(json_file);
  const nlohmann::json doc = nlohmann::json::parse(in);
  EXPECT_EQ(doc["verdict"], "NOT_JUDGED");
  EXPECT_EQ(doc["simulated"], true);

  EXPECT_EQ(MemoryStringValues(result.out, 1),
            std::vector<std::string>{PlainNumberText(doc["pitch_error"]["value"].get<double>())});
  // Memory strings 2 to 8: the figures in order; the 1 kHz levels are 32-bit.
  const char* figures[] = {"total_level", "reference_level", "distortion", "crosstalk_100hz",
                           "crosstalk_10khz", "noise", "signal_to_noise"};
  for (int i = 0; i < 7; ++i) {
    std::vector<std::string> expected;
    for (const char* channel : {"left", "right"}) {
      const double value = doc["channels"][channel][figures[i]]["value"].get<double>();
      expected.push_back(i == 1 ? PlainNumberText(static_cast<float>(value)) : PlainNumberText(value));
    }
    EXPECT_EQ(MemoryStringValues(result.out, i + 2), expected) << figures[i];
  }
}

}  // namespace
}  // namespace multitone::testing
