// replay:FILE: the run answered from a record (--record FILE) instead of an
// analyzer. The record is read each time a link is opened.
#include "app/doors/address_fields.h"
#include "app/doors/door_rows.h"
#include "common/run_error.h"
#include "replay/record_file.h"
#include "replay/replay_transport.h"

namespace multitone::doors {

AnalyzerAddress ParseReplay(std::string_view text) {
  AnalyzerAddress out;
  out.path = std::string(text.substr(std::string_view("replay:").size()));
  if (out.path.empty()) Refuse(text, "names no record file");
  return out;
}

// Throws RunError 429 when the record cannot be read (missing, cut short,
// corrupt, from a newer format); the replay fails with the recorded error
// when the recorded run could not open its link.
std::unique_ptr<Transport> OpenReplay(const AnalyzerAddress& address, const DoorContext& context) {
  std::shared_ptr<const LinkRecord> record;
  try {
    record = std::make_shared<const LinkRecord>(ReadRecordFile(address.path));
  } catch (const RecordError& error) {
    throw RunError(ErrorNumber::LinkCannotBeCreated, std::string("record ") + error.what());
  }
  return MakeReplayTransport(std::move(record), address.path, context.replay_timing);
}

}  // namespace multitone::doors
