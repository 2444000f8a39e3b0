#include "output/result_json.h"

#include <cstdio>
#include <ctime>

#include "common/iso_time.h"
#include "output/golden_check_json.h"
#include "output/json_text.h"

namespace multitone {
namespace {

using nlohmann::json;

json Optional(const std::optional<double>& value) { return value ? json(*value) : json(nullptr); }

json OutcomeJson(const Measurement& m) {
  return m.outcome ? json(OutcomeName(*m.outcome)) : json(nullptr);
}

// {value, unit, defined, low, high, outcome}: the shape of every figure.
json FigureJson(const Measurement& m) {
  return {{"value", Optional(m.value)}, {"unit", m.unit},          {"defined", m.value.has_value()},
          {"low", Optional(m.low)},     {"high", Optional(m.high)}, {"outcome", OutcomeJson(m)}};
}

json ToneJson(const Measurement& m) {
  return {{"tone", m.tone},          {"nominal_hz", m.nominal_hz},   {"frequency_hz", m.frequency_hz},
          {"db", Optional(m.value)}, {"defined", m.value.has_value()}, {"low", Optional(m.low)},
          {"high", Optional(m.high)}, {"outcome", OutcomeJson(m)}};
}

}  // namespace


nlohmann::json ResultJson(const UnitResult& unit) {
  json doc;
  doc["schema"] = "multitone-result/1";
  doc["run_id"] = unit.run_id;
  doc["serial"] = unit.serial;
  doc["station"] = unit.station;
  doc["operator"] = unit.operator_name;
  doc["started_at"] = IsoTimeUtc(unit.started_at);
  doc["ended_at"] = IsoTimeUtc(unit.ended_at);
  doc["analyzer"] = unit.analyzer;
  doc["simulated"] = unit.simulated;
  doc["program_version"] = unit.program_version;
  if (unit.limits) {
    const Limits& l = unit.limits->limits;
    doc["limits"] = {{"file", unit.limits->file},
                     {"sha256", unit.limits->sha256},
                     {"product", l.product.empty() ? json(nullptr) : json(l.product)},
                     {"revision", l.revision.empty() ? json(nullptr) : json(l.revision)}};
  } else {
    doc["limits"] = nullptr;
  }
  doc["verdict"] = VerdictName(unit.judgement.verdict);
  if (const auto& error = unit.results.error) {
    doc["error"] = {{"number", error->number}, {"step", error->step}, {"text", error->text}};
  } else {
    doc["error"] = nullptr;
  }
  const FigureValue& reference = unit.results.reference_frequency_hz;
  doc["reference_frequency_hz"] = reference.defined ? json(reference.value) : json(nullptr);

  json channels = {{"left", json::object()}, {"right", json::object()}};
  json response = {{"left", json::array()}, {"right", json::array()}};
  for (const Measurement& m : unit.judgement.measurements) {
    if (m.figure == kPitchErrorName) {
      doc["pitch_error"] = FigureJson(m);
    } else if (m.figure == kResponseName) {
      response[std::string(m.channel)].push_back(ToneJson(m));
    } else {
      channels[std::string(m.channel)][std::string(m.figure)] = FigureJson(m);
    }
  }
  doc["channels"] = std::move(channels);
  doc["response"] = std::move(response);
  json alarms = json::array();
  for (const UnitAlarm& a : unit.alarms) {
    alarms.push_back({{"station", a.station}, {"figure", a.figure}, {"channel", a.channel}, {"tone", a.tone},
                      {"rule", a.rule}, {"run_id", a.run_id}, {"value", a.value}, {"centre", a.centre},
                      {"sigma", a.sigma}});
  }
  doc["alarms"] = std::move(alarms);
  if (unit.golden_check) doc["golden_check"] = GoldenCheckJson(unit);
  return doc;
}

std::string ResultJsonText(const UnitResult& unit, int indent) {
  return JsonText(ResultJson(unit), indent);
}

}  // namespace multitone
