#include "store/stored_run.h"

#include "common/iso_time.h"
#include "common/utf8_text.h"
#include "output/result_json.h"

namespace multitone {

StoredRun StoredRunOf(const UnitResult& unit) {
  StoredRun run;
  run.run_id = unit.run_id;
  // Every text column holds valid UTF-8 whatever a name or a reply held:
  // PostgreSQL refuses anything else, and a run it refuses would stay in
  // the spool for ever.
  run.serial = PrintableUtf8(unit.serial);
  run.station = PrintableUtf8(unit.station);
  run.operator_name = PrintableUtf8(unit.operator_name);
  run.purpose = unit.purpose;
  run.tag = PrintableUtf8(unit.tag);
  run.started_at = IsoTimeUtc(unit.started_at);
  run.ended_at = IsoTimeUtc(unit.ended_at);
  run.analyzer = PrintableUtf8(unit.analyzer);
  run.simulated = unit.simulated;
  run.program_version = unit.program_version;
  if (unit.limits) {
    run.limits_sha256 = unit.limits->sha256;
    run.limits_content = unit.limits->content;
    run.product = unit.limits->limits.product;
    run.revision = unit.limits->limits.revision;
  }
  run.verdict = std::string(VerdictName(unit.judgement.verdict));
  if (const auto& error = unit.results.error) {
    run.error_number = error->number;
    run.error_step = PrintableUtf8(error->step);
    run.error_text = PrintableUtf8(error->text);
  }
  run.result_json = ResultJsonText(unit);
  for (const Measurement& m : unit.judgement.measurements) {
    StoredMeasurement& row = run.measurements.emplace_back();
    row.figure = m.figure;
    row.channel = m.channel;
    row.tone = m.tone;
    if (m.tone != 0) {
      row.nominal_hz = m.nominal_hz;
      row.frequency_hz = m.frequency_hz;
    }
    row.value = m.value;
    row.unit = m.unit;
    row.low = m.low;
    row.high = m.high;
    if (m.outcome) row.outcome = OutcomeName(*m.outcome);
  }
  return run;
}

}  // namespace multitone
