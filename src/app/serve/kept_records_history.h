#pragma once
// multitone serve --record DIR: each run's record kept as DIR/RUN_ID.jsonl.
// The station hands every finished run to its history; this history writes
// the run's record first, then hands the run on. A run whose record cannot
// be written is not kept, and the station never shows it as a pass.
#include <memory>
#include <string>

#include "app/run_command/run_recording.h"
#include "server/run_history.h"

namespace multitone {

class KeptRecordsHistory : public server::RunHistory {
 public:
  // `recording` must be the one whose factory the station's runs use.
  KeptRecordsHistory(std::unique_ptr<server::RunHistory> inner, std::shared_ptr<RunRecording> recording,
                     std::string folder, ProgramOptions options);

  // Writes the run's record, then keeps the run as the inner history does;
  // "record not written: ..." when the record cannot be written.
  std::string Keep(const UnitResult& unit) override;
  void Remember(const server::RunSummary& summary, std::chrono::system_clock::time_point ended_at) override {
    inner_->Remember(summary, ended_at);
  }
  void Forward() override { inner_->Forward(); }
  std::vector<server::RunSummary> Recent(std::size_t count) const override { return inner_->Recent(count); }
  server::DayCounts Today() const override { return inner_->Today(); }
  std::string Source() const override { return inner_->Source(); }

 private:
  std::unique_ptr<server::RunHistory> inner_;
  std::shared_ptr<RunRecording> recording_;
  std::string folder_;
  ProgramOptions options_;
};

}  // namespace multitone
