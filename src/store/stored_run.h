#pragma once
// One run as the results store keeps it: the row of `runs`, its rows of
// `measurements` and the limits file it was judged against. Times are UTC,
// ISO 8601 with milliseconds ("2026-12-07T11:58:15.123Z").
#include <optional>
#include <string>
#include <vector>

#include "verdict/unit_result.h"

namespace multitone {

struct StoredMeasurement {
  std::string figure;    // "signal_to_noise", "pitch_error", "response"
  std::string channel;   // "left", "right", "" for pitch_error
  int tone = 0;          // 0 for a figure, 1..16 for the response
  std::optional<double> nominal_hz;    // response only
  std::optional<double> frequency_hz;  // response only
  std::optional<double> value;         // empty when not defined
  std::string unit;
  std::optional<double> low;
  std::optional<double> high;
  std::string outcome;   // "PASS", "MARGINAL", "FAIL"; "" where no limit applies

  bool operator==(const StoredMeasurement&) const = default;
};

// A control-chart alarm the run raised (the row of `alarms`; its station is
// the run's). The acknowledgement is empty until someone acknowledges it.
struct RunAlarm {
  std::string figure;
  std::string channel;
  int tone = 0;
  std::string rule;
  std::string raised_at;
  double value = 0;
  double centre = 0;
  double sigma = 0;
  std::string acknowledged_by;
  std::string acknowledged_at;
  std::string acknowledge_note;

  bool operator==(const RunAlarm&) const = default;
};

struct StoredRun {
  std::string run_id;
  std::string serial;          // "" when none was given (NULL in the store)
  std::string station;
  std::string operator_name;
  std::string started_at;
  std::string ended_at;
  std::string analyzer;
  bool simulated = false;
  std::string program_version;
  std::string limits_sha256;   // "" without limits
  std::string limits_content;
  std::string product;
  std::string revision;
  std::string verdict;         // "PASS" ... "NOT_JUDGED"
  std::optional<int> error_number;
  std::string error_step;
  std::string error_text;
  std::string result_json;     // the whole result document
  std::string purpose = "production";  // "production", "golden" (a station check), "study"
  std::string tag;             // the golden check or study the run belongs to, "" for none
  std::vector<StoredMeasurement> measurements;
  std::vector<RunAlarm> alarms;  // stored with the run, in its transaction

  bool operator==(const StoredRun&) const = default;
};

// The stored form of a judged unit.
StoredRun StoredRunOf(const UnitResult& unit);

}  // namespace multitone
