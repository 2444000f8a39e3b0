#pragma once
// multitone serve --record DIR: each run's record kept as DIR/RUN_ID.jsonl.
// The station hands every finished run to its history; this history writes
// the run's record first, then hands the run on. A record that cannot be
// written makes the run "not recorded", which the station never shows as a
// pass.
#include <memory>
#include <string>

#include "app/run_recording.h"
#include "server/run_history.h"

namespace multitone {

class KeptRecordsHistory : public server::RunHistory {
 public:
  // `recording` must be the one whose factory the station's runs use.
  KeptRecordsHistory(std::unique_ptr<server::RunHistory> inner, std::shared_ptr<RunRecording> recording,
                     std::string folder, ProgramOptions options);

  // Throws std::runtime_error when the record cannot be written.
  void Record(const UnitResult& unit, const server::RunSummary& summary) override;
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
