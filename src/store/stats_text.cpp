#include "store/stats_text.h"

#include <cstdio>

namespace multitone {
namespace {

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string Percent(const std::optional<double>& ratio) {
  return ratio ? Format("%.2f %%", *ratio * 100) : "-";
}

std::string Optional(const std::optional<double>& value) {
  return value ? Format("%.6g", *value) : "-";
}

}  // namespace

std::string StatsText(const RunStats& s) {
  std::string text = "runs " + std::to_string(s.runs) + ": PASS " + std::to_string(s.pass) +
                     ", MARGINAL " + std::to_string(s.marginal) + ", FAIL " +
                     std::to_string(s.fail) + ", ERROR " + std::to_string(s.error) +
                     ", NOT_JUDGED " + std::to_string(s.not_judged) + "\n";
  text += "yield " + Percent(s.yield) + "; first-pass yield " + Percent(s.first_pass_yield) +
          " over " + std::to_string(s.serials) + " serials\n";
  if (!s.figures.empty()) {
    char line[256];
    std::snprintf(line, sizeof line, "\n%-6s %-16s %-3s %8s %12s %12s %12s %12s %12s %12s %8s\n",
                  "chan", "figure", "unit", "n", "mean", "stddev", "min", "max", "low", "high",
                  "Cpk");
    text += line;
    for (const FigureStats& f : s.figures) {
      std::snprintf(line, sizeof line, "%-6s %-16s %-3s %8zu %12.6g %12.6g %12.6g %12.6g %12s %12s %8s\n",
                    f.channel.empty() ? "-" : f.channel.c_str(), f.figure.c_str(), f.unit.c_str(),
                    f.n, f.mean, f.stddev, f.min, f.max, Optional(f.low).c_str(),
                    Optional(f.high).c_str(),
                    f.cpk ? Format("%.3f", *f.cpk).c_str() : "-");
      text += line;
    }
  }
  if (!s.most_failing.empty()) {
    text += "\nfailing most (runs):\n";
    for (const FailCount& f : s.most_failing) {
      text += "  " + (f.channel.empty() ? "" : f.channel + " ") + f.figure + " " +
              std::to_string(f.runs) + "\n";
    }
  }
  return text;
}

}  // namespace multitone
