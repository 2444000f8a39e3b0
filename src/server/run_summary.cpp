#include "server/run_summary.h"

#include "common/iso_time.h"
#include "output/result_json.h"
#include "output/verdict_line.h"

namespace multitone::server {

RunSummary SummarizeRun(const UnitResult& unit) {
  RunSummary summary;
  summary.run_id = unit.run_id;
  summary.serial = unit.serial;
  summary.verdict = std::string(VerdictName(unit.judgement.verdict));
  summary.started_at = IsoTimeUtc(unit.started_at);
  summary.ended_at = IsoTimeUtc(unit.ended_at);
  summary.failing = OutcomeSummary(unit, Outcome::Fail);
  summary.marginal = OutcomeSummary(unit, Outcome::Marginal);
  if (unit.results.error) summary.error = unit.results.error->Line();
  summary.simulated = unit.simulated;
  return summary;
}

nlohmann::json SummaryJson(const RunSummary& summary) {
  const auto text_or_null = [](const std::string& text) {
    return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
  };
  return {{"run_id", summary.run_id},
          {"serial", summary.serial},
          {"verdict", summary.verdict},
          {"started_at", summary.started_at},
          {"ended_at", summary.ended_at},
          {"failing", text_or_null(summary.failing)},
          {"marginal", text_or_null(summary.marginal)},
          {"error", text_or_null(summary.error)},
          {"simulated", summary.simulated},
          {"record_error", text_or_null(summary.record_error)}};
}

nlohmann::json CountsJson(const DayCounts& counts) {
  return {{"tested", counts.tested},
          {"passed", counts.passed},
          {"marginal", counts.marginal},
          {"failed", counts.failed},
          {"errors", counts.errors},
          {"yield", counts.tested == 0 ? nlohmann::json(nullptr)
                                       : nlohmann::json(double(counts.passed) / counts.tested)}};
}

void CountRun(DayCounts& counts, const std::string& verdict) {
  ++counts.tested;
  if (verdict == "PASS" || verdict == "MARGINAL") ++counts.passed;
  if (verdict == "MARGINAL") ++counts.marginal;
  if (verdict == "FAIL") ++counts.failed;
  if (verdict == "ERROR") ++counts.errors;
}

}  // namespace multitone::server
