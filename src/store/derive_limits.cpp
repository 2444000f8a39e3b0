#include "store/derive_limits.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
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
                     ShortNumber(k) + " σ.\n# Review every bound before use.\n";
  for (const auto& [key, entry] : figures) {
    const auto& [rank, figure, channel] = key;
    const Spread& s = entry.first;
    if (s.n < 2) continue;  // no spread to draw a bound from
    toml += "\n[" + figure + (channel.empty() ? "" : "." + channel) + "]  # " + entry.second +
            ", n " + std::to_string(s.n) + ", mean " + ShortNumber(s.mean) + ", σ " + ShortNumber(s.Stddev()) +
            "\nmin = " + ShortNumber(s.mean - k * s.Stddev()) + "\nmax = " + ShortNumber(s.mean + k * s.Stddev()) +
            "\n";
  }
  std::string mask;
  for (const auto& [hz, s] : response) {
    if (s.n < 2) continue;
    mask += "  [" + ShortNumber(hz) + ", " + ShortNumber(s.mean - k * s.Stddev()) + ", " +
            ShortNumber(s.mean + k * s.Stddev()) + "],  # n " + std::to_string(s.n) + ", mean " +
            ShortNumber(s.mean) + ", σ " + ShortNumber(s.Stddev()) + "\n";
  }
  if (!mask.empty()) toml += "\n[response]  # dB re 1 kHz, both channels\nmask = [\n" + mask + "]\n";
  return toml;
}

}  // namespace multitone
