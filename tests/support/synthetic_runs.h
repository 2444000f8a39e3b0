#pragma once
// Stored runs made up for the results store's tests and benchmarks: every
// figure of both channels and the 16 tones' responses, drawn from normal
// spreads, judged against fixed bounds, so each run's verdict follows from
// its values.
#include <random>
#include <string>

#include "store/stored_run.h"

namespace multitone::testing {

// "2026-11-01T08:00:00.000Z" plus `seconds`.
std::string IsoTime(long seconds);

// A run started at IsoTime(second). About one value in 200 is not defined.
StoredRun SyntheticRun(const std::string& run_id, const std::string& serial, long second,
                       std::mt19937_64& random, const std::string& station = "station-1");

}  // namespace multitone::testing
