#include "line/study_runs.h"

#include <algorithm>
#include <map>
#include <set>

#include "store/dialect.h"

namespace multitone {
namespace {

std::string AppraiserName(const std::string& name) { return name.empty() ? "(none)" : name; }

std::optional<double> ToleranceOf(const FigureLimit& limit) {
  if (limit.min && limit.max && *limit.max > *limit.min) return *limit.max - *limit.min;
  return std::nullopt;
}

}  // namespace

StoredStudy ReadStoredStudy(Database& db, const std::vector<std::string>& serials, const std::string& since,
                            const Limits& limits) {
  StoredStudy study;
  study.parts = serials;
  if (serials.size() < 2) throw UnbalancedStudy("a study needs at least 2 parts (serials)");
  for (std::size_t i = 1; i < serials.size(); ++i) {
    if (std::find(serials.begin(), serials.begin() + static_cast<std::ptrdiff_t>(i), serials[i]) !=
        serials.begin() + static_cast<std::ptrdiff_t>(i)) {
      throw UnbalancedStudy(serials[i] + " is listed twice: each part once");
    }
  }
  std::vector<SqlValue> params;
  std::string in;
  for (const std::string& serial : serials) {
    params.push_back(serial);
    in += (in.empty() ? "$" : ", $") + std::to_string(params.size());
  }
  std::string when;
  if (!since.empty()) {
    params.push_back(since);
    when = " AND r.started_at >= " + TimeParam(db.engine(), static_cast<int>(params.size()));
  }
  // (serial, operator) -> run ids, oldest first; run id -> (figure, channel) -> value.
  std::map<std::pair<std::string, std::string>, std::vector<std::string>> cells;
  std::map<std::string, std::map<std::pair<std::string, std::string>, std::optional<double>>> values;
  std::map<std::pair<std::string, std::string>, std::string> units;
  db.Query("SELECT r.serial, r.operator, r.run_id, m.figure, m.channel, m.value, m.unit FROM measurements m "
           "JOIN runs r ON r.run_id = m.run_id WHERE m.tone = 0 AND r.serial IN (" + in + ")" + when +
               " ORDER BY r.started_at, r.run_id",
           params, [&](const SqlRow& row) {
             const std::string run_id = row.Text(2);
             auto& runs = cells[{row.Text(0), row.Text(1)}];
             if (runs.empty() || runs.back() != run_id) runs.push_back(run_id);
             values[run_id][{row.Text(3), row.Text(4)}] = row.OptionalDouble(5);
             units[{row.Text(3), row.Text(4)}] = row.Text(6);
           });

  std::set<std::string> appraisers;
  for (const auto& [cell, runs] : cells) appraisers.insert(cell.second);
  study.appraisers.assign(appraisers.begin(), appraisers.end());
  if (study.appraisers.size() < 2) {
    throw UnbalancedStudy("a study needs at least 2 appraisers (operators); the runs have " +
                          std::to_string(study.appraisers.size()));
  }
  for (const std::string& serial : serials) {
    for (const std::string& appraiser : study.appraisers) {
      const auto found = cells.find({serial, appraiser});
      const std::size_t n = found == cells.end() ? 0 : found->second.size();
      if (study.trials == 0) study.trials = n;
      if (n != study.trials || n == 0) {
        throw UnbalancedStudy("unbalanced study: " + serial + " by " + AppraiserName(appraiser) + " has " +
                              std::to_string(n) + " runs, " + serials.front() + " by " +
                              AppraiserName(study.appraisers.front()) + " " + std::to_string(study.trials) +
                              "; every appraiser must test every part the same number of times");
      }
    }
  }
  if (study.trials < 2) throw UnbalancedStudy("a study needs at least 2 runs of each part by each appraiser");

  auto add = [&](std::string_view figure, std::string_view channel, const FigureLimit& limit) {
    FigureStudy& f = study.figures.emplace_back();
    f.figure = figure;
    f.channel = channel;
    f.unit = units[{f.figure, f.channel}];
    f.tolerance = ToleranceOf(limit);
    GaugeStudyData data{serials.size(), study.appraisers.size(), study.trials, {}};
    for (const std::string& serial : serials) {
      for (const std::string& appraiser : study.appraisers) {
        for (const std::string& run_id : cells.at({serial, appraiser})) {
          const auto& run = values[run_id];
          const auto value = run.find({f.figure, f.channel});
          if (value == run.end() || !value->second) return;  // not defined in every run
          data.values.push_back(*value->second);
        }
      }
    }
    f.data = std::move(data);
  };
  add(kPitchErrorName, "", limits.pitch_error);
  for (const Channel channel : kChannels) {
    for (const Figure figure : kFigures) add(FigureName(figure), ChannelName(channel), limits.Of(channel, figure));
  }
  return study;
}

}  // namespace multitone
