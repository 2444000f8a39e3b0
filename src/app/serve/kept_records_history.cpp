#include "app/serve/kept_records_history.h"


namespace multitone {

KeptRecordsHistory::KeptRecordsHistory(std::unique_ptr<server::RunHistory> inner,
                                       std::shared_ptr<RunRecording> recording, std::string folder,
                                       ProgramOptions options)
    : inner_(std::move(inner)), recording_(std::move(recording)), folder_(std::move(folder)),
      options_(std::move(options)) {}

std::string KeptRecordsHistory::Keep(const UnitResult& unit) {
  // The run id is a UUID the station made: safe as a file name.
  const std::string path = folder_ + "/" + unit.run_id + ".jsonl";
  if (const std::string why = recording_->Write(path, options_, unit); !why.empty()) {
    return "record not written: " + why;
  }
  return inner_->Keep(unit);
}

}  // namespace multitone
