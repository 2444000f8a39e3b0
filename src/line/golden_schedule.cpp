#include "line/golden_schedule.h"

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "common/iso_time.h"

namespace multitone {
namespace {

std::string IntervalText(std::chrono::seconds every) {
  const auto s = every.count();
  if (s % 86400 == 0) return std::to_string(s / 86400) + "d";
  if (s % 3600 == 0) return std::to_string(s / 3600) + "h";
  if (s % 60 == 0) return std::to_string(s / 60) + "m";
  return std::to_string(s) + "s";
}

// The outcome the check's run stored in its result document.
void ReadOutcome(const std::string& json_text, GoldenStatus& status) {
  const auto doc = nlohmann::json::parse(json_text, nullptr, false);
  const auto* check = doc.is_object() && doc.contains("golden_check") ? &doc["golden_check"] : nullptr;
  if (check == nullptr || !check->is_object() || !check->contains("passed") || !(*check)["passed"].is_boolean()) {
    status.last_passed = false;
    status.last_line = "golden check FAILED: its run holds no check outcome";
    return;
  }
  status.last_passed = (*check)["passed"].get<bool>();
  status.last_line = check->contains("line") && (*check)["line"].is_string()
                         ? (*check)["line"].get<std::string>()
                         : (status.last_passed ? "golden check passed" : "golden check FAILED");
}

}  // namespace

std::optional<std::chrono::system_clock::time_point> ParseIsoTimeUtc(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milli = 0, used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ%n", &year, &month, &day, &hour, &minute, &second, &milli,
                  &used) != 7 ||
      static_cast<std::size_t>(used) != text.size()) {
    return std::nullopt;
  }
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  const std::time_t seconds = ::timegm(&tm);
  return std::chrono::system_clock::from_time_t(seconds) + std::chrono::milliseconds(milli);
}

GoldenStatus DecideGoldenStatus(const GoldenSettings& golden, const GoldenHistory& history,
                                std::chrono::system_clock::time_point now) {
  GoldenStatus status;
  status.problem = history.problem;
  status.units_since = history.production_since;
  if (!history.latest) {
    status.due = true;
    status.why = history.problem.empty()
                     ? "no golden check on this station yet"
                     : "no golden check is known (the results server cannot be read: " + history.problem + ")";
    return status;
  }
  status.last_at = history.latest->started_at;
  status.last_serial = history.latest->serial;
  ReadOutcome(history.latest->result_json, status);
  status.due = false;
  if (golden.every_units) {
    status.units_left = std::max<std::int64_t>(0, *golden.every_units - status.units_since);
  }
  const auto last = ParseIsoTimeUtc(status.last_at);
  if (golden.every && last) status.next_due_at = IsoTimeUtc(*last + *golden.every);
  if (!status.last_passed) {
    status.due = true;
    constexpr std::string_view kFailed = "golden check FAILED: ";
    const std::string& line = status.last_line;
    status.why = "the last golden check (" + status.last_serial + " at " + status.last_at +
                 ") FAILED: " + (line.rfind(kFailed, 0) == 0 ? line.substr(kFailed.size()) : line);
  } else if (golden.every && (!last || now >= *last + *golden.every)) {
    status.due = true;
    status.why =
        "the last golden check was at " + status.last_at + ", more than " + IntervalText(*golden.every) + " ago";
  } else if (golden.every_units && status.units_since >= *golden.every_units) {
    status.due = true;
    status.why = std::to_string(status.units_since) + " production units since the last golden check at " +
                 status.last_at + " (every " + std::to_string(*golden.every_units) + " units)";
  }
  return status;
}

GoldenStatus ReadGoldenStatus(const RunStorage& storage, const std::string& station, const GoldenSettings& golden,
                              std::chrono::system_clock::time_point now) {
  return DecideGoldenStatus(golden, ReadGoldenHistory(storage, station), now);
}

GoldenStatus ReadGoldenStatus(StoreSession& session, const std::string& station, const GoldenSettings& golden,
                              std::chrono::system_clock::time_point now) {
  return DecideGoldenStatus(golden, ReadGoldenHistory(session, station), now);
}

std::string GoldenRefusalText(const GoldenSettings& golden, const GoldenStatus& status) {
  std::string serials;
  for (const GoldenUnit& unit : golden.units) serials += (serials.empty() ? "" : ", ") + unit.serial;
  return "golden check due: " + status.why + "; test a golden unit first (" + serials + ")";
}

std::string GoldenStatusText(const GoldenSettings& golden, const GoldenStatus& status) {
  std::string text;
  if (status.last_at.empty()) {
    text += "last check: none\n";
  } else {
    text += "last check: " + status.last_at + " on " + status.last_serial + ": " + status.last_line + "\n";
  }
  text += "production units since: " + std::to_string(status.units_since) + "\n";
  std::string next;
  if (!status.next_due_at.empty()) next = status.next_due_at;
  if (status.units_left) {
    next += (next.empty() ? "" : ", or ") + std::string("after ") + std::to_string(*status.units_left) +
            " more production units";
  }
  if (status.due) {
    text += "next check: due now (" + status.why + ")\n";
  } else {
    text += "next check: " + (next.empty() ? std::string("not scheduled") : next) + "\n";
  }
  std::string serials;
  for (const GoldenUnit& unit : golden.units) serials += (serials.empty() ? "" : ", ") + unit.serial;
  text += "golden units: " + serials + "\n";
  if (!status.problem.empty()) text += "note: the results server could not be read: " + status.problem + "\n";
  return text;
}

}  // namespace multitone
