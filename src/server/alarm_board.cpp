#include "server/alarm_board.h"

#include <algorithm>

#include "store/kept_alarms.h"

namespace multitone::server {
namespace {

bool SameAlarm(const AlarmRow& a, const AlarmRow& b) {
  return a.run_id == b.run_id && a.figure == b.figure && a.channel == b.channel && a.tone == b.tone &&
         a.rule == b.rule;
}

bool Matches(const AlarmRow& row, const AlarmFilter& f) {
  return (f.run_id.empty() || row.run_id == f.run_id) && (f.rule.empty() || row.rule == f.rule) &&
         (!f.figure || (row.figure == *f.figure && row.channel == f.channel && row.tone == f.tone));
}

}  // namespace

AlarmBoard::AlarmBoard(RunStorage storage, std::string station, bool stop_on_alarm)
    : storage_(std::move(storage)), station_(std::move(station)), stop_on_alarm_(stop_on_alarm) {}

std::string AlarmBoard::Refresh() {
  if (storage_.results.empty()) return {};
  AlarmFilter filter;
  filter.station = station_;
  filter.open_only = true;
  try {
    std::vector<AlarmRow> open = ReadKeptAlarms(storage_, filter);
    std::lock_guard lock(mutex_);
    open_ = std::move(open);
    read_ = true;
    unread_.clear();
    return {};
  } catch (const StoreError& error) {
    std::lock_guard lock(mutex_);
    // A store not laid out yet holds no alarm.
    if (std::string(error.what()).rfind("no such results store", 0) == 0) {
      read_ = true;
      unread_.clear();
      return {};
    }
    if (!read_) unread_ = error.what();
    return error.what();
  }
}

void AlarmBoard::Add(const std::vector<UnitAlarm>& alarms, const std::string& raised_at) {
  std::lock_guard lock(mutex_);
  for (const UnitAlarm& a : alarms) {
    AlarmRow row{a.run_id, a.station, a.figure, a.channel, a.tone, a.rule, raised_at, a.value, a.centre, a.sigma,
                 {}, {}, {}};
    const bool known = std::any_of(open_.begin(), open_.end(), [&](const AlarmRow& o) { return SameAlarm(o, row); });
    if (!known) open_.push_back(std::move(row));
  }
}

std::vector<AlarmRow> AlarmBoard::Open() const {
  std::lock_guard lock(mutex_);
  return open_;
}

std::string AlarmBoard::Stopped() const {
  if (!stop_on_alarm_) return {};
  std::lock_guard lock(mutex_);
  if (!unread_.empty()) {
    return "the station stops on an open alarm (stop_on_alarm), and the results store cannot tell whether one "
           "is open: " + unread_;
  }
  if (open_.empty()) return {};
  std::string why = "the station stops on an open alarm (stop_on_alarm): " + AlarmSummary(open_.front());
  if (open_.size() > 1) why += " (and " + std::to_string(open_.size() - 1) + " more)";
  return why + "; acknowledge it to test further units";
}

AlarmBoard::Outcome AlarmBoard::Acknowledge(const AlarmFilter& alarm, const std::string& by, const std::string& note) {
  AlarmFilter filter = alarm;
  filter.station = station_;
  {
    std::lock_guard lock(mutex_);
    if (std::none_of(open_.begin(), open_.end(), [&](const AlarmRow& row) { return Matches(row, filter); })) {
      return {404, "no such open alarm on this station"};
    }
  }
  const Acknowledgement done = AcknowledgeKeptAlarms(storage_, filter, by, note);
  if (done.acknowledged == 0 && !done.error.empty()) return {503, "the results store cannot be written: " + done.error};
  std::lock_guard lock(mutex_);
  // Acknowledged here or elsewhere already: no longer open either way.
  open_.erase(std::remove_if(open_.begin(), open_.end(), [&](const AlarmRow& row) { return Matches(row, filter); }),
              open_.end());
  return {200, {}};
}

}  // namespace multitone::server
