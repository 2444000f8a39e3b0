#pragma once
// A guided study on the built-in simulated analyzer: each run plays the unit
// under test (the simulator's part=SERIAL, whose level is set apart from the
// others' by part_spread) with noise of its own (seed + the run's number), as
// a real station measures a real part a little differently each time. The
// analyzer's traffic is that of any run.
#include <cstdint>
#include <string>

namespace multitone {

// The address of `address` ("", "sim" or "sim:OPTIONS") for the run number
// `ordinal` of the part `serial`. Throws std::invalid_argument for options
// the simulator refuses, one that sets part itself, or a serial with a comma.
std::string SimulatedPartAddress(const std::string& address, const std::string& serial,
                                 std::uint64_t ordinal);

}  // namespace multitone
