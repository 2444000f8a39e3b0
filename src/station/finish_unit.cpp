#include "station/finish_unit.h"

namespace multitone {
namespace {

void Demote(UnitResult& unit, const std::string& failure, const std::string& why) {
  unit.judgement.verdict = Verdict::Error;
  unit.results.error = RunFailure{0, "station", failure + ": " + why};
}

}  // namespace

bool CountsAsSuccess(Verdict verdict) {
  return verdict == Verdict::Pass || verdict == Verdict::Marginal || verdict == Verdict::NotJudged;
}

std::vector<std::string> FinishUnit(UnitResult& unit, const std::vector<UnitSink>& sinks) {
  std::vector<std::string> problems;
  std::vector<const UnitSink*> delivered;  // repeatable keeping sinks that took the unit
  for (const UnitSink& sink : sinks) {
    if (sink.kind != UnitSink::Kind::Keeps) continue;
    const std::string why = sink.deliver(unit);
    if (why.empty()) {
      if (sink.repeatable) delivered.push_back(&sink);
      continue;
    }
    problems.push_back(why);
    if (!CountsAsSuccess(unit.judgement.verdict)) continue;
    Demote(unit, sink.failure, why);
    // What was kept before says what everything after will say.
    for (const UnitSink* earlier : delivered) {
      if (std::string again = earlier->deliver(unit); !again.empty()) problems.push_back(std::move(again));
    }
  }
  for (const UnitSink& sink : sinks) {
    if (sink.kind != UnitSink::Kind::Shows) continue;
    if (std::string why = sink.deliver(unit); !why.empty()) problems.push_back(std::move(why));
  }
  return problems;
}

}  // namespace multitone
