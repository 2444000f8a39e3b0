#include "server/golden_watch.h"

#include "line/golden_schedule.h"
#include "station/golden_gate.h"

namespace multitone::server {

GoldenWatch::GoldenWatch(const std::optional<LimitsSource>& limits, RunStorage storage, std::string station)
    : active_(limits && limits->limits.golden.present && !storage.results.empty()),
      golden_(limits ? limits->limits.golden : GoldenSettings{}),
      storage_(std::move(storage)),
      station_(std::move(station)) {
  if (active_) Refresh();
}

std::optional<std::string> GoldenWatch::Refusal(const std::string& serial) {
  if (!active_) return std::nullopt;
  LimitsSource limits;
  limits.limits.golden = golden_;
  return GoldenRefusal(limits, storage_, station_, serial, std::chrono::system_clock::now());
}

void GoldenWatch::Refresh() {
  if (!active_) return;
  std::optional<GoldenHistory> history;
  std::string problem;
  try {
    history = ReadGoldenHistory(storage_, station_);
  } catch (const std::exception& error) {
    problem = error.what();
  }
  std::lock_guard lock(mutex_);
  if (history) read_ = std::move(history);
  unreadable_ = problem;
}

nlohmann::json GoldenWatch::Json(std::chrono::system_clock::time_point now) const {
  using nlohmann::json;
  if (!active_) return nullptr;
  json serials = json::array();
  for (const GoldenUnit& unit : golden_.units) serials.push_back(unit.serial);
  std::lock_guard lock(mutex_);
  if (!read_) {
    return {{"state", "unknown"},
            {"message", "the golden check's state cannot be read from the results store: " + unreadable_},
            {"golden_serials", serials}};
  }
  const GoldenStatus status = DecideGoldenStatus(golden_, *read_, now);
  std::string state = status.due ? (!status.last_at.empty() && !status.last_passed ? "failed" : "due") : "passed";
  std::string message;
  if (status.due) {
    message = GoldenRefusalText(golden_, status);
  } else {
    message = "golden check passed at " + status.last_at + " (" + status.last_serial + ")";
    if (!status.next_due_at.empty()) message += "; next due by " + status.next_due_at;
    if (status.units_left) message += "; " + std::to_string(*status.units_left) + " production units left";
  }
  return {{"state", state},
          {"message", message},
          {"last_at", status.last_at.empty() ? json(nullptr) : json(status.last_at)},
          {"last_serial", status.last_serial.empty() ? json(nullptr) : json(status.last_serial)},
          {"last_line", status.last_line.empty() ? json(nullptr) : json(status.last_line)},
          {"next_due_at", status.next_due_at.empty() ? json(nullptr) : json(status.next_due_at)},
          {"units_left", status.units_left ? json(*status.units_left) : json(nullptr)},
          {"golden_serials", serials}};
}

}  // namespace multitone::server
