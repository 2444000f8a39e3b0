#include "store/store_unit.h"

#include "store/results_url.h"
#include "store/stored_run.h"

namespace multitone {

std::string KeepUnit(const RunStorage& storage, const UnitResult& unit) {
  return KeepRun(storage, StoredRunOf(unit));
}

std::string ForwardKeptRuns(const RunStorage& storage) {
  const ForwardReport report = ForwardSpool(storage);
  if (report.error.empty()) return {};
  const std::string spool = storage.spool.empty() ? DefaultSpoolPath() : storage.spool;
  return "kept locally only: " + std::to_string(report.left) + " run(s) in " + spool +
         " wait for the server (multitone sync): " + report.error;
}

}  // namespace multitone
