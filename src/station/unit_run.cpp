#include "station/unit_run.h"

#include <sys/random.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <random>

#include "run/build_run_results.h"
#include "run/run_measurement.h"
#include "station/golden_gate.h"

namespace multitone {

UnitResult RunUnit(const StationSetup& setup, const std::string& serial, const StepProgress& progress) {
  UnitResult unit;
  unit.run_id = NewRunId();
  unit.serial = serial;
  unit.station = setup.station;
  unit.operator_name = setup.operator_name;
  unit.analyzer = setup.analyzer;
  unit.simulated = setup.simulated;
  unit.program_version = MULTITONE_VERSION;
  unit.limits = setup.limits;
  unit.started_at = std::chrono::system_clock::now();

  MeasurementRecord record;
  record.CreateAnalyzer = setup.create_analyzer;
  const std::size_t count = RunSteps().size();
  try {
    RunMeasurement(record, [&](std::size_t index, std::string_view step) {
      if (progress) progress(index, count, step);
    });
    unit.results = BuildRunResults(record, nullptr);
  } catch (const RunError& error) {
    unit.results = BuildRunResults(record, &error);
  }
  unit.ended_at = std::chrono::system_clock::now();
  unit.judgement = Judge(unit.results, unit.limits ? &unit.limits->limits : nullptr);
  MarkGoldenCheck(unit);
  return unit;
}

std::string NewRunId() {
  std::array<unsigned char, 16> bytes{};
  // One system call: std::random_device probes the processor's random
  // instructions first, which showed in the profile of a whole run.
  if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
    std::random_device source;
    for (auto& b : bytes) b = static_cast<unsigned char>(source() & 0xff);
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "station";
  return name;
}

}  // namespace multitone
