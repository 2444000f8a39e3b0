#include "app/doors/replay_analyzer.h"

#include <string>

#include "common/run_error.h"
#include "replay/record_file.h"
#include "replay/replay_transport.h"

namespace multitone {
namespace {

constexpr std::string_view kPrefix = "replay:";

}  // namespace

bool IsReplayAddress(std::string_view address) { return address.substr(0, kPrefix.size()) == kPrefix; }

std::string ReplayedRecord(std::string_view address) {
  return IsReplayAddress(address) ? std::string(address.substr(kPrefix.size())) : std::string();
}

std::unique_ptr<Transport> OpenReplayTransport(std::string_view address, bool keep_timing) {
  const std::string path = ReplayedRecord(address);
  if (path.empty()) throw RunError(ErrorNumber::LinkCannotBeCreated, "replay: names no record file");
  std::shared_ptr<const LinkRecord> record;
  try {
    record = std::make_shared<const LinkRecord>(ReadRecordFile(path));
  } catch (const RecordError& error) {
    throw RunError(ErrorNumber::LinkCannotBeCreated, std::string("record ") + error.what());
  }
  return MakeReplayTransport(std::move(record), path, keep_timing);
}

}  // namespace multitone
