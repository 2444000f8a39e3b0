#include "server/store_run_history.h"

#include <ctime>
#include <ostream>
#include <stdexcept>

#include "common/iso_time.h"
#include "common/run_error.h"
#include "output/result_json.h"
#include "store/results_store.h"
#include "store/station_runs.h"
#include "store/store_unit.h"

namespace multitone::server {
namespace {

// The store is read again this often, so the page is back on it soon after
// it returns (and shows other stations' runs forwarded meanwhile).
constexpr std::chrono::seconds kReadEvery(5);
constexpr std::size_t kRecentKept = 100;

// The start of the local calendar day, as the store's UTC time text.
std::string StartOfToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  local.tm_hour = local.tm_min = local.tm_sec = 0;
  local.tm_isdst = -1;
  return IsoTimeUtc(std::chrono::system_clock::from_time_t(std::mktime(&local)));
}

RunSummary SummaryOf(const StationRun& run) {
  RunSummary summary;
  summary.run_id = run.run_id;
  summary.serial = run.serial;
  summary.verdict = run.verdict;
  summary.started_at = run.started_at;
  summary.ended_at = run.ended_at;
  if (run.error_number) summary.error = ErrorLine(static_cast<int>(*run.error_number), run.error_step, run.error_text);
  summary.simulated = run.simulated;
  return summary;
}

std::string Runs(std::size_t n) { return std::to_string(n) + (n == 1 ? " run" : " runs"); }

}  // namespace

StoreRunHistory::StoreRunHistory(RunStorage storage, std::string station, std::ostream& notes)
    : storage_(std::move(storage)), station_(std::move(station)), notes_(notes) {
  worker_ = std::thread([this] { Work(); });
}

StoreRunHistory::~StoreRunHistory() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

std::string StoreRunHistory::Keep(const UnitResult& unit) { return KeepUnit(storage_, unit); }

void StoreRunHistory::Remember(const RunSummary& summary, std::chrono::system_clock::time_point ended_at) {
  own_.Remember(summary, ended_at);
  {
    std::lock_guard lock(mutex_);
    since_read_.push_back({++recorded_, LocalDay(ended_at), summary});
    if (since_read_.size() > kRecentKept) since_read_.pop_front();
  }
  wake_.notify_all();
}

void StoreRunHistory::Work() {
  std::uint64_t seen = 0;
  for (;;) {
    Refresh();
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, kReadEvery, [&] { return stopping_ || recorded_ != seen; });
    if (stopping_) return;
    seen = recorded_;
  }
}

void StoreRunHistory::Refresh() {
  std::lock_guard one(refreshing_);
  std::uint64_t recorded;
  {
    std::lock_guard lock(mutex_);
    recorded = recorded_;
  }
  // A server that is down keeps the runs in the spool for a later attempt
  // or `multitone sync`; the verdicts stand either way.
  const ForwardReport forwarded = ForwardSpool(storage_);
  bool read = false;
  std::vector<RunSummary> recent;
  DayCounts today;
  const int day = LocalDay(std::chrono::system_clock::now());
  try {
    ResultsStore store = ResultsStore::Open(storage_.results);
    for (const auto& run : RecentStationRuns(store.db(), station_, kRecentKept)) recent.push_back(SummaryOf(run));
    for (const auto& [verdict, runs] : StationVerdictCounts(store.db(), station_, StartOfToday())) {
      for (std::int64_t i = 0; i < runs; ++i) CountRun(today, verdict);
    }
    read = true;
  } catch (const std::exception&) {
  }

  std::lock_guard lock(mutex_);
  if (!forwarded.error.empty() && noted_ < recorded) {
    const std::string spool = SpoolPath(storage_);
    notes_ << "multitone serve: kept locally only: " << Runs(forwarded.left) << " in " << spool
           << " wait for the server (multitone sync): " << forwarded.error << std::endl;
  } else if (forwarded.error.empty() && forwarded.forwarded > 0 && waiting_ > 0) {
    notes_ << "multitone serve: forwarded " << Runs(forwarded.forwarded) << " from the spool to the server"
           << std::endl;
  }
  noted_ = recorded;
  waiting_ = forwarded.left;
  readable_ = read;
  if (!read) return;
  read_ = true;
  stored_recent_ = std::move(recent);
  stored_today_ = today;
  stored_day_ = day;
  // What was recorded before this read is in it (or waits in the spool).
  while (!since_read_.empty() && since_read_.front().number <= recorded) since_read_.pop_front();
}

bool StoreRunHistory::ReadAlready(const std::string& run_id) const {
  for (const auto& run : stored_recent_) {
    if (run.run_id == run_id) return true;
  }
  return false;
}

std::vector<RunSummary> StoreRunHistory::Recent(std::size_t count) const {
  std::lock_guard lock(mutex_);
  if (!read_ || !readable_) return own_.Recent(count);
  std::vector<RunSummary> runs;
  for (auto run = since_read_.rbegin(); run != since_read_.rend() && runs.size() < count; ++run) {
    if (!ReadAlready(run->summary.run_id)) runs.push_back(run->summary);
  }
  for (const auto& run : stored_recent_) {
    if (runs.size() >= count) break;
    runs.push_back(run);
  }
  return runs;
}

DayCounts StoreRunHistory::Today() const {
  std::lock_guard lock(mutex_);
  if (!read_ || !readable_) return own_.Today();
  const int day = LocalDay(std::chrono::system_clock::now());
  DayCounts counts = stored_day_ == day ? stored_today_ : DayCounts{};
  for (const auto& run : since_read_) {
    if (run.day == day && !ReadAlready(run.summary.run_id)) CountRun(counts, run.summary.verdict);
  }
  return counts;
}

std::string StoreRunHistory::Source() const {
  std::lock_guard lock(mutex_);
  std::string source = !read_ && readable_ ? "this server's own runs (reading the results store)"
                       : readable_       ? "the results store"
                                         : "this server's own runs (the results store cannot be read)";
  if (waiting_ > 0) source += "; " + Runs(waiting_) + " in the spool wait for the server";
  return source;
}

}  // namespace multitone::server
