#include "store/store_unit.h"

#include "store/store_session.h"
#include "store/stored_run.h"

namespace multitone {

std::string KeepUnit(const RunStorage& storage, const UnitResult& unit) {
  return KeepRun(storage, StoredRunOf(unit));
}

std::string KeepUnit(StoreSession& session, const UnitResult& unit) {
  return KeepRun(session, StoredRunOf(unit));
}

std::string ForwardKeptRuns(const RunStorage& storage) {
  StoreSession session(storage);
  return ForwardKeptRuns(session);
}

std::string ForwardKeptRuns(StoreSession& session) {
  const ForwardReport report = ForwardSpool(session);
  if (report.error.empty()) return {};
  const RunStorage& storage = session.storage();
  const std::string spool = SpoolPath(storage);
  return "kept locally only: " + std::to_string(report.left) + " run(s) in " + spool +
         " wait for the server (multitone sync): " + report.error;
}

}  // namespace multitone
