#include "app/run_command/run_recording.h"

#include <chrono>

#include "app/doors/analyzer_transports.h"
#include "common/durable_file.h"
#include "common/iso_time.h"
#include "common/run_error.h"
#include "replay/record_file.h"
#include "replay/recording_transport.h"

namespace multitone {

RunRecording::RunRecording()
    : operations_(std::make_shared<std::vector<LinkOperation>>()),
      opened_(std::make_shared<std::chrono::steady_clock::time_point>()) {}

TransportWrap RunRecording::Wrap() const {
  return [operations = operations_, opened = opened_](std::unique_ptr<Transport> transport) {
    return MakeRecordingTransport(std::move(transport), operations, *opened);
  };
}

AnalyzerFactory RunRecording::Around(AnalyzerFactory factory) const {
  return [inner = std::move(factory), operations = operations_, opened = opened_]() -> std::unique_ptr<AnalyzerLink> {
    operations->clear();
    *opened = std::chrono::steady_clock::now();
    try {
      return inner();
    } catch (const RunError& error) {
      LinkOperation open;
      open.call = LinkCall::Open;
      open.took_us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - *opened)
                         .count();
      open.error = RecordedError{static_cast<int>(error.Number()), error.Description()};
      operations->push_back(std::move(open));
      throw;
    }
  };
}

LinkRecord RunRecording::Record(const ProgramOptions& options, const UnitResult& unit) const {
  LinkRecord record;
  RecordHeader& header = record.header;
  header.program_version = unit.program_version;
  header.run_id = unit.run_id;
  header.started_at = IsoTimeUtc(unit.started_at);
  header.analyzer = options.analyzer.empty() ? "sim" : options.analyzer;
  header.transport = TransportOf(options.analyzer);
  header.options.emplace_back("timeout_ms", std::to_string(options.timeout_ms));
  const std::pair<const char*, const std::string*> named[] = {
      {"serial", &unit.serial},           {"station", &options.station},
      {"operator", &options.operator_name}, {"limits", &options.limits_file},
      {"json", &options.json_file},       {"junit", &options.junit_file},
      {"report", &options.report_file},   {"results", &options.results},
  };
  for (const auto& [name, value] : named) {
    if (!value->empty()) header.options.emplace_back(name, *value);
  }
  if (options.replay_timing) header.options.emplace_back("replay_timing", "true");
  if (unit.limits) {
    header.limits_file = unit.limits->file;
    header.limits_sha256 = unit.limits->sha256;
  }
  record.operations = *operations_;
  return record;
}

std::string RunRecording::Write(const std::string& path, const ProgramOptions& options, const UnitResult& unit) const {
  return WriteFileDurably(path, EncodeRecord(Record(options, unit)));
}

std::string TransportOf(const std::string& address) {
  try {
    const AnalyzerAddress parsed = ParseAnalyzerAddress(address);
    for (const TransportRow& row : AnalyzerTransports()) {
      if (row.matches(parsed)) return std::string(row.name);
    }
  } catch (const RunError&) {
  }
  return "unknown";
}

}  // namespace multitone
