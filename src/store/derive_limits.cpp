#include "store/derive_limits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>
#include <utility>

#include "common/short_number.h"
#include "run/run_results.h"

namespace multitone {
namespace {

// The figure order of the limits file: pitch first, then as the run lists them.
int FigureRank(const std::string& figure) {
  if (figure == kPitchErrorName) return 0;
  for (std::size_t i = 0; i < kFigures.size(); ++i) {
    if (figure == FigureName(kFigures[i])) return static_cast<int>(i) + 1;
  }
  return static_cast<int>(kFigures.size()) + 1;
}

}  // namespace

void Spread::Add(double value) {
  ++n;
  const double delta = value - mean;
  mean += delta / static_cast<double>(n);
  m2 += delta * (value - mean);
}

double Spread::Stddev() const { return n > 1 ? std::sqrt(m2 / static_cast<double>(n - 1)) : 0; }

double RepeatabilityOf(const std::string& figure, double mean) {
  // What repeated runs of one unit on one analyzer spread by: the counter's
  // reading of the 1 kHz tone, the level readings, a small distortion
  // reading, a noise reading (itself noise), and a tone's level re 1 kHz.
  struct Floor {
    const char* figure;
    double absolute, relative;
  };
  static constexpr Floor kFloors[] = {
      {"pitch_error", 0.01, 0},      {"total_level", 0, 0.005},    {"reference_level", 0, 0.005},
      {"distortion", 0.0005, 0.1},   {"crosstalk_100hz", 1, 0},    {"crosstalk_10khz", 1, 0},
      {"noise", 0, 0.2},             {"signal_to_noise", 1, 0},    {"response", 0.05, 0},
  };
  for (const Floor& floor : kFloors) {
    if (figure == floor.figure) return std::max(floor.absolute, floor.relative * std::abs(mean));
  }
  return 0;
}

DraftedLimits DeriveLimits(Database& db, const std::vector<std::string>& serials, double k,
                           bool force) {
  DraftedLimits drafted;
  std::vector<std::string> runs;  // the latest run of each usable unit
  for (const std::string& serial : serials) {
    std::string run_id, verdict;
    db.Query("SELECT run_id, verdict FROM runs WHERE serial = $1 "
             "ORDER BY started_at DESC, run_id DESC LIMIT 1",
             {serial}, [&](const SqlRow& row) {
               run_id = row.Text(0);
               verdict = row.Text(1);
             });
    if (run_id.empty()) {
      drafted.left_out.push_back(serial + ": no stored run");
    } else if (verdict != "PASS" && verdict != "MARGINAL") {
      drafted.left_out.push_back(serial + ": latest run " + verdict + " (" + run_id + ")");
    } else if (std::find(runs.begin(), runs.end(), run_id) == runs.end()) {
      runs.push_back(run_id);
    }
  }
  if (runs.empty() || (runs.size() < kMinimumGoldenUnits && !force)) {
    throw StoreError(std::to_string(runs.size()) + " golden unit(s) with a PASS or MARGINAL latest run; " +
                     std::to_string(kMinimumGoldenUnits) +
                     " at least give a spread to draft from" + (runs.empty() ? "" : " (--force drafts from fewer)"));
  }

  // (rank, figure, channel) -> spread, with the figure's unit; the response by frequency.
  std::map<std::tuple<int, std::string, std::string>, std::pair<Spread, std::string>> figures;
  std::map<double, Spread> response;
  for (const std::string& run_id : runs) {
    db.Query("SELECT figure, channel, nominal_hz, value, unit FROM measurements "
             "WHERE run_id = $1 AND value IS NOT NULL",
             {run_id}, [&](const SqlRow& row) {
               const std::string figure = row.Text(0);
               if (figure == "response") {
                 response[row.Double(2)].Add(row.Double(3));
                 return;
               }
               auto& entry = figures[{FigureRank(figure), figure, row.Text(1)}];
               entry.first.Add(row.Double(3));
               entry.second = row.Text(4);
             });
  }

  // mean ± max(kσ, repeatability)
  auto bounds = [k](const std::string& figure, const Spread& s) {
    const double half = std::max(k * s.Stddev(), RepeatabilityOf(figure, s.mean));
    return std::pair(ShortNumber(s.mean - half), ShortNumber(s.mean + half));
  };
  auto comment = [](const Spread& s) {
    return "n " + std::to_string(s.n) + ", mean " + ShortNumber(s.mean) + ", σ " + ShortNumber(s.Stddev());
  };
  std::string& toml = drafted.toml;
  toml = "# Drafted by multitone limits derive from the latest runs of " + std::to_string(runs.size()) +
         " golden units: mean ± " + ShortNumber(k) +
         " σ, never narrower than the measurement's repeatability.\n# Review every bound before use.\n";
  for (const auto& [key, entry] : figures) {
    const auto& [rank, figure, channel] = key;
    const auto [low, high] = bounds(figure, entry.first);
    toml += "\n[" + figure + (channel.empty() ? "" : "." + channel) + "]  # " + entry.second + ", " +
            comment(entry.first) + "\nmin = " + low + "\nmax = " + high + "\n";
  }
  std::string mask;
  for (const auto& [hz, s] : response) {
    const auto [low, high] = bounds("response", s);
    mask += "  [" + ShortNumber(hz) + ", " + low + ", " + high + "],  # " + comment(s) + "\n";
  }
  if (!mask.empty()) toml += "\n[response]  # dB re 1 kHz, both channels\nmask = [\n" + mask + "]\n";
  return drafted;
}

}  // namespace multitone
