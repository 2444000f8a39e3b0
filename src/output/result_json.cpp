#include "output/result_json.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "common/iso_time.h"
#include "output/golden_check_json.h"
#include "output/json_stream.h"

namespace multitone {
namespace {

// Keys are written in byte order, as the document has always had them.

void OutcomeOf(JsonStream& out, const Measurement& m) {
  if (m.outcome) {
    out.String(OutcomeName(*m.outcome));
  } else {
    out.Null();
  }
}

// {value, unit, defined, low, high, outcome}: the shape of every figure.
void FigureObject(JsonStream& out, const Measurement& m) {
  out.BeginObject();
  out.Key("defined").Bool(m.value.has_value());
  out.Key("high").NumberOrNull(m.high);
  out.Key("low").NumberOrNull(m.low);
  OutcomeOf(out.Key("outcome"), m);
  out.Key("unit").String(m.unit);
  out.Key("value").NumberOrNull(m.value);
  out.EndObject();
}

void Tone(JsonStream& out, const Measurement& m) {
  out.BeginObject();
  out.Key("db").NumberOrNull(m.value);
  out.Key("defined").Bool(m.value.has_value());
  out.Key("frequency_hz").Number(m.frequency_hz);
  out.Key("high").NumberOrNull(m.high);
  out.Key("low").NumberOrNull(m.low);
  out.Key("nominal_hz").Number(m.nominal_hz);
  OutcomeOf(out.Key("outcome"), m);
  out.Key("tone").Integer(m.tone);
  out.EndObject();
}

bool IsResponse(const Measurement& m) { return m.figure == kResponseName; }
bool IsChannelFigure(const Measurement& m) { return m.figure != kPitchErrorName && !IsResponse(m); }

// The channels the figures (or the tones) name, "left" and "right" always.
std::vector<std::string_view> ChannelKeys(const std::vector<Measurement>& all, bool (*kind)(const Measurement&)) {
  std::vector<std::string_view> keys = {"left", "right"};
  for (const Measurement& m : all) {
    if (kind(m)) keys.push_back(m.channel);
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

// "channels": {"left": {figure: {...}}, "right": {...}}
void Channels(JsonStream& out, const std::vector<Measurement>& all) {
  out.BeginObject();
  for (const std::string_view channel : ChannelKeys(all, IsChannelFigure)) {
    std::vector<const Measurement*> figures;
    for (const Measurement& m : all) {
      if (IsChannelFigure(m) && m.channel == channel) figures.push_back(&m);
    }
    std::stable_sort(figures.begin(), figures.end(),
                     [](const Measurement* a, const Measurement* b) { return a->figure < b->figure; });
    out.Key(channel).BeginObject();
    for (std::size_t i = 0; i < figures.size(); ++i) {
      // A figure given twice is its last value.
      if (i + 1 < figures.size() && figures[i + 1]->figure == figures[i]->figure) continue;
      FigureObject(out.Key(figures[i]->figure), *figures[i]);
    }
    out.EndObject();
  }
  out.EndObject();
}

// "response": {"left": [tone, ...], "right": [...]}, tones in run order.
void Response(JsonStream& out, const std::vector<Measurement>& all) {
  out.BeginObject();
  for (const std::string_view channel : ChannelKeys(all, IsResponse)) {
    out.Key(channel).BeginArray();
    for (const Measurement& m : all) {
      if (IsResponse(m) && m.channel == channel) Tone(out, m);
    }
    out.EndArray();
  }
  out.EndObject();
}

void Alarms(JsonStream& out, const std::vector<UnitAlarm>& alarms) {
  out.BeginArray();
  for (const UnitAlarm& a : alarms) {
    out.BeginObject();
    out.Key("centre").Number(a.centre);
    out.Key("channel").String(a.channel);
    out.Key("figure").String(a.figure);
    out.Key("rule").String(a.rule);
    out.Key("run_id").String(a.run_id);
    out.Key("sigma").Number(a.sigma);
    out.Key("station").String(a.station);
    out.Key("tone").Integer(a.tone);
    out.Key("value").Number(a.value);
    out.EndObject();
  }
  out.EndArray();
}

void LimitsSourceOf(JsonStream& out, const std::optional<LimitsSource>& source) {
  if (!source) {
    out.Null();
    return;
  }
  out.BeginObject();
  out.Key("file").String(source->file);
  out.Key("product").StringOrNull(source->limits.product);
  out.Key("revision").StringOrNull(source->limits.revision);
  out.Key("sha256").String(source->sha256);
  out.EndObject();
}

void ErrorOf(JsonStream& out, const std::optional<RunFailure>& error) {
  if (!error) {
    out.Null();
    return;
  }
  out.BeginObject();
  out.Key("number").Integer(error->number);
  out.Key("step").String(error->step);
  out.Key("text").String(error->text);
  out.EndObject();
}

}  // namespace

std::string ResultJsonText(const UnitResult& unit, int indent) {
  const std::vector<Measurement>& all = unit.judgement.measurements;
  JsonStream out(indent);
  out.BeginObject();
  Alarms(out.Key("alarms"), unit.alarms);
  out.Key("analyzer").String(unit.analyzer);
  Channels(out.Key("channels"), all);
  out.Key("ended_at").String(IsoTimeUtc(unit.ended_at));
  ErrorOf(out.Key("error"), unit.results.error);
  if (unit.golden_check) WriteGoldenCheckJson(out.Key("golden_check"), unit);
  LimitsSourceOf(out.Key("limits"), unit.limits);
  out.Key("operator").String(unit.operator_name);
  // The unit's pitch error, its last if given twice.
  const auto pitch = std::find_if(all.rbegin(), all.rend(),
                                  [](const Measurement& m) { return m.figure == kPitchErrorName; });
  if (pitch != all.rend()) FigureObject(out.Key("pitch_error"), *pitch);
  out.Key("program_version").String(unit.program_version);
  const FigureValue& reference = unit.results.reference_frequency_hz;
  out.Key("reference_frequency_hz")
      .NumberOrNull(reference.defined ? std::optional(reference.value) : std::nullopt);
  Response(out.Key("response"), all);
  out.Key("run_id").String(unit.run_id);
  out.Key("schema").String("multitone-result/1");
  out.Key("serial").String(unit.serial);
  out.Key("simulated").Bool(unit.simulated);
  out.Key("started_at").String(IsoTimeUtc(unit.started_at));
  out.Key("station").String(unit.station);
  out.Key("verdict").String(VerdictName(unit.judgement.verdict));
  out.EndObject();
  return out.Take();
}

}  // namespace multitone
