#include "sim/device_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace multitone::sim {
namespace {

constexpr std::array<std::pair<DeviceFault, std::string_view>, 6> kFaults = {{
    {DeviceFault::None, "none"},
    {DeviceFault::DeadLeft, "dead-left"},
    {DeviceFault::DeadRight, "dead-right"},
    {DeviceFault::Swapped, "swapped"},
    {DeviceFault::Hum, "hum"},
    {DeviceFault::Clipping, "clipping"},
}};

[[noreturn]] void Bad(const std::string& message) { throw std::invalid_argument(message); }

double NumberValue(std::string_view key, std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    Bad("option " + std::string(key) + " needs a number, not '" + std::string(text) + "'");
  }
  return value;
}

std::uint64_t WholeNumberValue(std::string_view key, std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    Bad("option " + std::string(key) + " needs a whole number, not '" + std::string(text) + "'");
  }
  return value;
}

// The range of each numeric option, for the check and for the help text.
struct Range {
  const char* name;
  double low;
  double high;
  const char* unit;
};
constexpr Range kSpeed{"speed", 0.5, 2.0, ""};
constexpr Range kLevel{"level", 0.0, 10.0, " V"};
constexpr Range kThd{"thd", 0.0, 30.0, " %"};
constexpr Range kCrosstalk{"crosstalk", -200.0, 0.0, " dB"};
constexpr Range kNoise{"noise", 0.0, 1.0, " V"};
constexpr Range kHum{"hum", 0.0, 10.0, " V"};
constexpr Range kDrift{"drift", -1.0, 1.0, " dB"};
constexpr Range kPartSpread{"part_spread", 0.0, 6.0, " dB"};
constexpr std::uint64_t kLastRun = 1000000;

void CheckRange(const Range& range, double value) {
  if (!(value >= range.low && value <= range.high)) {
    std::ostringstream message;
    message << "option " << range.name << "=" << value << " is outside " << range.low << " to "
            << range.high << range.unit;
    Bad(message.str());
  }
}

std::string RangeText(const Range& range) {
  std::ostringstream text;
  text << range.low << " to " << range.high << range.unit;
  return text.str();
}

}  // namespace

std::string_view FaultName(DeviceFault fault) {
  for (const auto& [f, name] : kFaults) {
    if (f == fault) return name;
  }
  return "none";
}

std::optional<DeviceFault> FaultByName(std::string_view name) {
  for (const auto& [f, n] : kFaults) {
    if (n == name) return f;
  }
  return std::nullopt;
}

std::string FaultNames() {
  std::string names;
  for (const auto& [f, n] : kFaults) names += (names.empty() ? "" : ", ") + std::string(n);
  return names;
}

void ValidateDeviceOptions(const DeviceOptions& o) {
  CheckRange(kSpeed, o.speed);
  CheckRange(kLevel, o.level_v);
  CheckRange(kThd, o.thd_percent);
  if (!(std::isinf(o.crosstalk_db) && o.crosstalk_db < 0)) CheckRange(kCrosstalk, o.crosstalk_db);
  CheckRange(kNoise, o.noise_v);
  CheckRange(kHum, o.hum_v);
  CheckRange(kDrift, o.drift_db);
  CheckRange(kPartSpread, o.part_spread_db);
  if (o.part.find(',') != std::string::npos) Bad("option part cannot hold a comma");
  if (o.run > kLastRun) Bad("option run=" + std::to_string(o.run) + " is beyond " + std::to_string(kLastRun));
  if (!(LevelAtRun(o) <= kLevel.high)) Bad("option drift or part_spread takes the level beyond " + RangeText(kLevel));
}

double PartShift(std::string_view part) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : part) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  // FNV's last byte reaches only its low bits: mixed over all 64 (the
  // finalizer of MurmurHash3) before the top bits are read.
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdULL;
  hash ^= hash >> 33;
  hash *= 0xc4ceb9fe1a85ec53ULL;
  hash ^= hash >> 33;
  // The top 53 bits as a fraction of 1, stretched to -1..1.
  return static_cast<double>(hash >> 11) / 9007199254740992.0 * 2.0 - 1.0;
}

double LevelAtRun(const DeviceOptions& o) {
  const double part_db = o.part.empty() ? 0.0 : o.part_spread_db * PartShift(o.part);
  return o.level_v * std::pow(10.0, (o.drift_db * static_cast<double>(o.run) + part_db) / 20.0);
}

std::string DeviceOptionsHelp() {
  const DeviceOptions d;
  std::ostringstream text;
  text << "  speed=" << RangeText(kSpeed) << " (" << d.speed << "): every frequency is multiplied by it\n"
       << "  level=" << RangeText(kLevel) << " (" << d.level_v << "): RMS of each tone\n"
       << "  thd=" << RangeText(kThd) << " (" << d.thd_percent << "): harmonics 2..9 of every tone\n"
       << "  crosstalk=" << RangeText(kCrosstalk) << " or off (" << d.crosstalk_db
       << "): each channel into the other\n"
       << "  noise=" << RangeText(kNoise) << " (" << d.noise_v << "): white noise within 20 Hz..20 kHz\n"
       << "  hum=" << RangeText(kHum) << " (" << d.hum_v << "): 50 Hz hum with its harmonics\n"
       << "  fault=" << FaultNames() << " (" << FaultName(d.fault) << ")\n"
       << "  seed=a whole number (" << d.seed << "): phases and noise\n"
       << "  drift=" << RangeText(kDrift) << " (" << d.drift_db
       << "): level change from one run number to the next\n"
       << "  run=0 to " << kLastRun << " (" << d.run << "): the run number the drift is taken at\n"
       << "  part_spread=" << RangeText(kPartSpread) << " (" << d.part_spread_db
       << "): units differ by up to this much in level, by their part name\n"
       << "  part=a name without commas (none): the unit's serial; multitone study sets it\n";
  return text.str();
}

DeviceOptions ParseDeviceOptions(std::string_view text) {
  DeviceOptions options;
  std::vector<std::string_view> seen;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (comma != std::string_view::npos && text.empty()) Bad("option list ends with a comma");
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      Bad("option '" + std::string(item) + "' is not of the form name=value");
    }
    const std::string_view key = item.substr(0, equals);
    const std::string_view value = item.substr(equals + 1);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
      Bad("option " + std::string(key) + " is given more than once");
    }
    seen.push_back(key);
    if (key == "speed") {
      options.speed = NumberValue(key, value);
    } else if (key == "level") {
      options.level_v = NumberValue(key, value);
    } else if (key == "thd") {
      options.thd_percent = NumberValue(key, value);
    } else if (key == "crosstalk") {
      options.crosstalk_db = (value == "off" || value == "none")
                                 ? -std::numeric_limits<double>::infinity()
                                 : NumberValue(key, value);
    } else if (key == "noise") {
      options.noise_v = NumberValue(key, value);
    } else if (key == "hum") {
      options.hum_v = NumberValue(key, value);
    } else if (key == "fault") {
      const auto fault = FaultByName(value);
      if (!fault) Bad("unknown fault '" + std::string(value) + "' (known: " + FaultNames() + ")");
      options.fault = *fault;
    } else if (key == "seed") {
      options.seed = WholeNumberValue(key, value);
    } else if (key == "drift") {
      options.drift_db = NumberValue(key, value);
    } else if (key == "run") {
      options.run = WholeNumberValue(key, value);
    } else if (key == "part_spread") {
      options.part_spread_db = NumberValue(key, value);
    } else if (key == "part") {
      options.part = value;
    } else {
      Bad("unknown option '" + std::string(key) +
          "' (known: speed, level, thd, crosstalk, noise, hum, fault, seed, drift, run, part_spread, part)");
    }
  }
  ValidateDeviceOptions(options);
  return options;
}

std::string DescribeDeviceOptions(const DeviceOptions& o) {
  std::ostringstream text;
  text.precision(10);
  text << "speed=" << o.speed << ",level=" << o.level_v << ",thd=" << o.thd_percent << ",crosstalk=";
  if (std::isinf(o.crosstalk_db)) {
    text << "off";
  } else {
    text << o.crosstalk_db;
  }
  text << ",noise=" << o.noise_v << ",hum=" << o.hum_v << ",fault=" << FaultName(o.fault)
       << ",seed=" << o.seed << ",drift=" << o.drift_db << ",run=" << o.run;
  if (o.part_spread_db != 0) text << ",part_spread=" << o.part_spread_db;
  if (!o.part.empty()) text << ",part=" << o.part;
  return text.str();
}

}  // namespace multitone::sim
