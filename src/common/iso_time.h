#pragma once
// A moment as the results show it: UTC, ISO 8601 with milliseconds,
// "2026-12-07T11:58:15.123Z".
#include <chrono>
#include <string>

namespace multitone {

std::string IsoTimeUtc(std::chrono::system_clock::time_point time);

}  // namespace multitone
