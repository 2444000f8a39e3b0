#pragma once
// The simulated playback device as a test engineer describes it, in the
// same words on both front doors: "speed=1.0012,level=0.1936,thd=0.03,
// crosstalk=-75,noise=1e-5,hum=0,fault=dead-right,seed=7" after "sim:" on
// multitone's --analyzer, or as --speed, --level, ... flags of analyzer-sim.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace multitone::sim {

enum class DeviceFault { None, DeadLeft, DeadRight, Swapped, Hum, Clipping };

struct DeviceOptions {
  double speed = 1.0;          // every frequency is multiplied by it
  double level_v = 0.1936;     // RMS of each tone, V
  double thd_percent = 0.03;   // RMS of harmonics 2..9 relative to their tone
  double crosstalk_db = -75;   // each channel into the other; -inf: none
  double noise_v = 1e-5;       // RMS of white noise within 20 Hz..20 kHz
  double hum_v = 0;            // RMS of 50 Hz hum (harmonics follow)
  DeviceFault fault = DeviceFault::None;
  std::uint64_t seed = 1;      // phases and noise
  // A station that drifts, one process per run: the tones play at
  // level × 10^(drift × run / 20), so the level moves by `drift` dB from one
  // run number to the next.
  double drift_db = 0;
  std::uint64_t run = 0;
  // Units that differ from one another, one process (or one analyzer) per
  // unit: the unit named `part` (its serial) plays `part_spread` × u dB
  // louder, u in -1..1 taken from a hash of the name, so a part keeps its
  // level from one run to the next and parts differ. No part: no change.
  double part_spread_db = 0;
  std::string part;
};

// How far the part named `part` lies within the spread: -1 to 1, the same
// number for the same name on every machine (FNV-1a of its bytes, mixed by
// MurmurHash3's finalizer).
double PartShift(std::string_view part);

// The level every tone plays at, drift and part included, V.
double LevelAtRun(const DeviceOptions& options);

// "none", "dead-left", "dead-right", "swapped", "hum", "clipping".
std::string_view FaultName(DeviceFault fault);
std::optional<DeviceFault> FaultByName(std::string_view name);
// "none, dead-left, ..." for help texts and error messages.
std::string FaultNames();

// Throws std::invalid_argument naming the option when a value is out of
// range: speed 0.5..2, level 0..10 V, thd 0..30 %, crosstalk -200..0 dB (or
// -inf), noise 0..1 V, hum 0..10 V, drift -1..1 dB, run 0..1000000,
// part_spread 0..6 dB, and the drifted level within the level's range.
void ValidateDeviceOptions(const DeviceOptions& options);

// One line per option for help texts: "  speed=0.5 to 2 (1): ...", with its
// range and default, and the fault names.
std::string DeviceOptionsHelp();

// Parses "key=value,key=value" (empty: all defaults) over the defaults and
// validates. "crosstalk=off" means none. Throws std::invalid_argument with
// a message that names the unknown option, the malformed value or an option
// given twice.
DeviceOptions ParseDeviceOptions(std::string_view text);

// The options as that text again ("speed=1,level=0.1936,...").
std::string DescribeDeviceOptions(const DeviceOptions& options);

}  // namespace multitone::sim
