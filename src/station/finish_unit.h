#pragma once
// The one way a tested unit is finished, on the command line and on the
// station server alike. The judged unit goes through an ordered list of
// sinks: first those that keep it (result files, the results store), then
// those that show it (the verdict line, the page's cache and events, the
// log). A keeping sink that fails while the unit passes turns the verdict
// into ERROR in the value itself ("result not stored: why"), and the
// keeping sinks before it that can be written again (regular files) are
// written again, so that every sink after it, and every output at all,
// shows the same verdict: no PASS that was not kept.
#include <functional>
#include <string>
#include <vector>

#include "verdict/unit_result.h"

namespace multitone {

struct UnitSink {
  enum class Kind { Keeps, Shows };
  Kind kind = Kind::Shows;
  // For a keeping sink: "result not written", "result not stored"; the
  // start of the error that replaces a pass it could not keep.
  std::string failure;
  // A keeping sink that may deliver again after the verdict changed (a
  // regular file replaced atomically); false for a stream or the store.
  bool repeatable = false;
  // Delivers the unit; empty on success, else why not.
  std::function<std::string(const UnitResult&)> deliver;
};

// Runs the sinks in order; returns the reasons of every sink that failed
// (empty when all went through). `unit` holds the final verdict afterwards.
std::vector<std::string> FinishUnit(UnitResult& unit, const std::vector<UnitSink>& sinks);

// True for a verdict that lets the unit go (PASS, MARGINAL) or that would
// end the program without a failure (NOT_JUDGED).
bool CountsAsSuccess(Verdict verdict);

}  // namespace multitone
