#include "store/derive_limits.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace multitone {
namespace {

std::string Num(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", value);
  return buffer;
}

// The figure order of the limits file: pitch first, then as the run lists them.
int FigureRank(const std::string& figure) {
  static const char* const kOrder[] = {"pitch_error", "total_level", "reference_level",
                                       "distortion", "crosstalk_100hz", "crosstalk_10khz",
                                       "noise", "signal_to_noise"};
  for (int i = 0; i < 8; ++i) {
    if (figure == kOrder[i]) return i;
  }
  return 8;
}

}  // namespace

void Spread::Add(double value) {
  ++n;
  const double delta = value - mean;
  mean += delta / static_cast<double>(n);
  m2 += delta * (value - mean);
}

double Spread::Stddev() const { return n > 1 ? std::sqrt(m2 / static_cast<double>(n - 1)) : 0; }

std::string DeriveLimits(Database& db, const std::vector<std::string>& serials, double k) {
  // (rank, figure, channel) -> spread, with the figure's unit; the response by frequency.
  std::map<std::tuple<int, std::string, std::string>, std::pair<Spread, std::string>> figures;
  std::map<double, Spread> response;
  std::set<std::string> runs, units;
  for (const std::string& serial : serials) {
    db.Query("SELECT m.run_id, m.figure, m.channel, m.nominal_hz, m.value, m.unit "
             "FROM measurements m JOIN runs r ON r.run_id = m.run_id "
             "WHERE r.serial = $1 AND m.value IS NOT NULL",
             {serial}, [&](const SqlRow& row) {
               runs.insert(row.Text(0));
               units.insert(serial);
               const std::string figure = row.Text(1);
               if (figure == "response") {
                 response[row.Double(3)].Add(row.Double(4));
                 return;
               }
               auto& entry = figures[{FigureRank(figure), figure, row.Text(2)}];
               entry.first.Add(row.Double(4));
               entry.second = row.Text(5);
             });
  }
  if (runs.empty()) throw StoreError("none of the golden units has a stored run");

  std::string toml = "# Drafted by multitone limits derive from " + std::to_string(runs.size()) +
                     " runs of " + std::to_string(units.size()) + " golden units: mean ± " +
                     Num(k) + " σ.\n# Review every bound before use.\n";
  for (const auto& [key, entry] : figures) {
    const auto& [rank, figure, channel] = key;
    const Spread& s = entry.first;
    if (s.n < 2) continue;  // no spread to draw a bound from
    toml += "\n[" + figure + (channel.empty() ? "" : "." + channel) + "]  # " + entry.second +
            ", n " + std::to_string(s.n) + ", mean " + Num(s.mean) + ", σ " + Num(s.Stddev()) +
            "\nmin = " + Num(s.mean - k * s.Stddev()) + "\nmax = " + Num(s.mean + k * s.Stddev()) +
            "\n";
  }
  std::string mask;
  for (const auto& [hz, s] : response) {
    if (s.n < 2) continue;
    mask += "  [" + Num(hz) + ", " + Num(s.mean - k * s.Stddev()) + ", " +
            Num(s.mean + k * s.Stddev()) + "],  # n " + std::to_string(s.n) + ", mean " +
            Num(s.mean) + ", σ " + Num(s.Stddev()) + "\n";
  }
  if (!mask.empty()) toml += "\n[response]  # dB re 1 kHz, both channels\nmask = [\n" + mask + "]\n";
  return toml;
}

}  // namespace multitone
