#pragma once
// --record FILE: the run's analyzer exchange, every operation as it happened,
// kept in a record file (replay/record_file.h) that --analyzer
// replay:FILE answers a later run from.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/doors/analyzer_factory.h"
#include "app/run_command/options.h"
#include "replay/link_record.h"
#include "verdict/unit_result.h"

namespace multitone {

class RunRecording {
 public:
  RunRecording();

  // Put around every transport the run opens (MakeAnalyzerFactory's wrap):
  // records its every operation.
  TransportWrap Wrap() const;
  // The run's factory, made with Wrap(), around which a link that cannot be
  // opened is recorded as a failed "open". Each link it opens starts a new
  // record: one run, one link (the station's runs follow one another on one
  // thread).
  AnalyzerFactory Around(AnalyzerFactory factory) const;

  // The record so far, under a header that names the run and its options.
  LinkRecord Record(const ProgramOptions& options, const UnitResult& unit) const;

  // Writes the record to `path` whole or not at all; empty on success, else why.
  std::string Write(const std::string& path, const ProgramOptions& options, const UnitResult& unit) const;

 private:
  std::shared_ptr<std::vector<LinkOperation>> operations_;
  std::shared_ptr<std::chrono::steady_clock::time_point> opened_;
};

// The kind of transport an address reaches: "sim", "replay", "vxi11" or "tcp".
std::string TransportOf(const std::string& address);

}  // namespace multitone
