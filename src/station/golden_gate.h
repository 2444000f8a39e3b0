#pragma once
// The golden-unit station check on the station's one path, for the command
// line and `multitone serve` alike: a golden unit's run is marked and
// compared with its references; a production serial is refused while the
// check is due or the last one failed.
#include <chrono>
#include <optional>
#include <string>

#include "store/run_storage.h"
#include "verdict/unit_result.h"

namespace multitone {

class StoreSession;

// A unit whose serial is a golden unit of its limits becomes a golden
// check: purpose "golden", the check's tag, and its figures compared with
// the references. Any other unit is left as it is.
void MarkGoldenCheck(UnitResult& unit);

// Empty when the limits ask for no golden check or a store keeps the
// checks; else why the station cannot start (the checks could not be
// tracked without a results store).
std::string GoldenNeedsStore(const std::optional<LimitsSource>& limits, bool store_given);

// Why `serial` may not be tested now, or nothing: a production serial is
// refused while the check is due or the last check failed; a golden serial
// never is. Reads the store; a store that cannot be read refuses too
// (nothing then says the station was checked).
std::optional<std::string> GoldenRefusal(const std::optional<LimitsSource>& limits, const RunStorage& storage,
                                         const std::string& station, const std::string& serial,
                                         std::chrono::system_clock::time_point now);
// The same through the run's open store (see store_session.h).
std::optional<std::string> GoldenRefusal(const std::optional<LimitsSource>& limits, StoreSession& session,
                                         const std::string& station, const std::string& serial,
                                         std::chrono::system_clock::time_point now);

}  // namespace multitone
