#include "support/synthetic_runs.h"

#include <array>
#include <cstdio>

namespace multitone::testing {
namespace {

struct FigureModel {
  const char* name;
  const char* unit;
  double mean, stddev;
  std::optional<double> low, high;
};

constexpr std::array<FigureModel, 7> kFigures = {{
    {"total_level", "V", 0.775, 0.01, 0.74, 0.81},
    {"reference_level", "V", 0.5, 0.005, std::nullopt, std::nullopt},
    {"distortion", "%", 0.02, 0.005, std::nullopt, 0.035},
    {"crosstalk_100hz", "dB", 80, 3, 70, std::nullopt},
    {"crosstalk_10khz", "dB", 70, 3, 60, std::nullopt},
    {"noise", "V", 2e-5, 3e-6, std::nullopt, 3e-5},
    {"signal_to_noise", "dB", 90, 1.5, 86, std::nullopt},
}};

constexpr std::array<double, 16> kToneHz = {31.5, 63,   100,  200,  400,  1000,  2000,  3150,
                                            4000, 5000, 6300, 7100, 8000, 10000, 12500, 16000};

}  // namespace

std::string IsoTime(long seconds) {
  const long day = seconds / 86400, rest = seconds % 86400;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "2026-11-%02ldT%02ld:%02ld:%02ld.000Z", 1 + day, rest / 3600,
                rest / 60 % 60, rest % 60);
  return buffer;
}

StoredRun SyntheticRun(const std::string& run_id, const std::string& serial, long second,
                       std::mt19937_64& random, const std::string& station) {
  std::uniform_int_distribution<int> undefined(0, 199);
  StoredRun run;
  run.run_id = run_id;
  run.serial = serial;
  run.station = station;
  run.operator_name = "op";
  run.started_at = IsoTime(second);
  run.ended_at = IsoTime(second + 3);
  run.analyzer = "sim";
  run.simulated = true;
  run.program_version = "0.1.0";
  run.limits_sha256 = std::string(64, 'a');
  run.limits_content = "[signal_to_noise]\nmin = 86\n";
  run.product = "PB-200";
  bool failed = false;
  auto add = [&](StoredMeasurement m, double mean, double stddev) {
    if (undefined(random) != 0) m.value = std::normal_distribution<double>(mean, stddev)(random);
    if (m.low || m.high) {
      const bool fails = !m.value || (m.low && *m.value < *m.low) || (m.high && *m.value > *m.high);
      m.outcome = fails ? "FAIL" : "PASS";
      failed = failed || fails;
    }
    run.measurements.push_back(std::move(m));
  };
  add({"pitch_error", "", 0, {}, {}, {}, "%", -0.5, 0.5, ""}, 0, 0.1);
  for (const char* channel : {"left", "right"}) {
    for (const FigureModel& f : kFigures) {
      add({f.name, channel, 0, {}, {}, {}, f.unit, f.low, f.high, ""}, f.mean, f.stddev);
    }
  }
  for (const char* channel : {"left", "right"}) {
    for (int tone = 1; tone <= 16; ++tone) {
      const double hz = kToneHz[static_cast<std::size_t>(tone - 1)];
      add({"response", channel, tone, hz, hz * 1.0001, {}, "dB", -3.0, 1.0, ""},
          hz == 1000 ? 0 : -0.2, hz == 1000 ? 1e-12 : 0.3);
    }
  }
  run.verdict = failed ? "FAIL" : "PASS";
  run.result_json = R"({"schema":"multitone-result/1","verdict":")" + run.verdict + R"("})";
  return run;
}

}  // namespace multitone::testing
