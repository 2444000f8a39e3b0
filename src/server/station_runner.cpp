#include "server/station_runner.h"

#include <exception>
#include <ostream>
#include <stdexcept>

#include "common/iso_time.h"
#include "output/alarm_text.h"
#include "output/response_svg.h"
#include "output/result_json.h"
#include "output/verdict_line.h"
#include "output/json_text.h"
#include "station/finish_unit.h"

namespace multitone::server {

StationRunner::StationRunner(StationSetup setup, RunHistory& history, ResultCache& results,
                             EventHub& events, std::ostream& log, GoldenWatch* golden, AlarmCheck* alarms,
                             AlarmBoard* board)
    : setup_(std::move(setup)),
      history_(history),
      results_(results),
      events_(events),
      log_(log),
      golden_(golden),
      alarms_(alarms),
      board_(board) {
  worker_ = std::thread([this] { Work(); });
}

StationRunner::~StationRunner() { Finish(); }

StationRunner::StartOutcome StationRunner::StartRun(const std::string& serial) {
  if (board_ && !board_->Stopped().empty()) {
    // Acknowledged elsewhere (multitone alarms ack) since the store was read?
    board_->Refresh();
    if (std::string why = board_->Stopped(); !why.empty()) return {Start::Stopped, {}, std::move(why)};
  }
  std::string run_id;
  {
    std::lock_guard lock(mutex_);
    if (closing_) return {Start::Closed, {}, {}};
    if (current_) return {Start::Busy, current_->run_id, {}};
    run_id = NewRunId();
    current_ = RunProgress{run_id, serial, 0, 0, {}};
    pending_ = true;
    // Published before the worker can see the run, so "started" comes first.
    events_.Publish("started", JsonText({{"run_id", run_id}, {"serial", serial}}));
  }
  wake_.notify_all();
  return {Start::Started, run_id, {}};
}

std::optional<RunProgress> StationRunner::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

std::optional<RunSummary> StationRunner::Last() const {
  std::lock_guard lock(mutex_);
  return last_;
}

void StationRunner::Finish() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void StationRunner::Work() {
  for (;;) {
    RunProgress run;
    {
      std::unique_lock lock(mutex_);
      // A run handed over before a stop is still made: its unit was scanned.
      wake_.wait(lock, [this] { return pending_ || closing_; });
      if (!pending_) return;
      pending_ = false;
      run = *current_;
    }
    Conclude(Test(run.run_id, run.serial));
  }
}

UnitResult StationRunner::Test(const std::string& run_id, const std::string& serial) {
  const auto progress = [&](std::size_t index, std::size_t count, std::string_view step) {
    {
      std::lock_guard lock(mutex_);
      current_->index = index;
      current_->count = count;
      current_->step = std::string(step);
    }
    events_.Publish("step", JsonText({{"run_id", run_id},
                                      {"serial", serial},
                                      {"index", index},
                                      {"count", count},
                                      {"step", step}}));
  };
  const auto started_at = std::chrono::system_clock::now();
  try {
    // Checked again just before the analyzer is touched: a run that ended
    // after the request was checked may have made the golden check due. The
    // unit is then not tested, and shows as ERROR, never as a pass.
    if (const auto refused = golden_ ? golden_->Refusal(serial) : std::nullopt) throw std::runtime_error(*refused);
    UnitResult unit = RunUnit(setup_, serial, progress);
    unit.run_id = run_id;
    return unit;
  } catch (const std::exception& error) {
    // The run never reached a verdict: it is an ERROR, never a pass.
    UnitResult unit;
    unit.run_id = run_id;
    unit.serial = serial;
    unit.station = setup_.station;
    unit.operator_name = setup_.operator_name;
    unit.started_at = started_at;
    unit.ended_at = std::chrono::system_clock::now();
    unit.analyzer = setup_.analyzer;
    unit.simulated = setup_.simulated;
    unit.limits = setup_.limits;
    unit.results.error = RunFailure{0, "station", error.what()};
    unit.judgement.verdict = Verdict::Error;
    return unit;
  }
}

void StationRunner::Conclude(UnitResult unit) {
  std::string not_kept;
  std::string line;
  if (alarms_) {
    if (const std::string notice = alarms_->Check(unit); !notice.empty()) log_ << "multitone serve: " << notice << '\n';
  }
  const std::vector<UnitSink> sinks = {
      {UnitSink::Kind::Keeps, "result not stored", false,
       [&](const UnitResult& u) {
         not_kept = history_.Keep(u);
         if (not_kept.empty() && alarms_) alarms_->Kept(u);
         return not_kept;
       }},
      {UnitSink::Kind::Shows, "", false,
       [&](const UnitResult& u) {
         results_.Add(CachedResult{u.run_id, ResultJsonText(u), ResponseSvg(u)});
         return std::string();
       }},
      {UnitSink::Kind::Shows, "", false, [&](const UnitResult& u) {
         if (u.golden_check) log_ << GoldenCheckLine(*u.golden_check) << '\n';
         for (const UnitAlarm& alarm : u.alarms) log_ << "multitone serve: " << AlarmText(alarm) << '\n';
         log_ << VerdictLine(u) << std::endl;
         return std::string();
       }}};
  FinishUnit(unit, sinks);
  if (board_ && not_kept.empty()) {
    board_->Add(unit.alarms, IsoTimeUtc(unit.ended_at));
    if (const std::string why = board_->Refresh(); !why.empty()) {
      log_ << "multitone serve: the open alarms cannot be read: " << why << '\n';
    }
  }
  RunSummary summary = SummarizeRun(unit);
  if (!not_kept.empty()) {
    summary.record_error = not_kept;
    log_ << "multitone serve: run " << unit.run_id << " was not recorded: " << not_kept << '\n';
  }
  history_.Remember(summary, unit.ended_at);
  {
    // Let go last: from here the API gives the run's result, and the status
    // it asks next already counts the run (the result cached, the summary
    // remembered, above).
    std::lock_guard lock(mutex_);
    last_ = summary;
    current_.reset();
  }
  events_.Publish("verdict", JsonText(SummaryJson(summary)));
  history_.Forward();
  if (golden_ && golden_->Active()) {
    // Read after the verdict is out: the check's state never holds it up.
    golden_->Refresh();
    events_.Publish("golden", JsonText(golden_->Json(std::chrono::system_clock::now())));
  }
}

}  // namespace multitone::server
