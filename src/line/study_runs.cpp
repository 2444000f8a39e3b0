#include "line/study_runs.h"

#include <algorithm>
#include <set>

#include "store/dialect.h"

namespace multitone {
namespace {

std::string AppraiserName(const std::string& name) { return name.empty() ? "(none)" : name; }

std::optional<double> ToleranceOf(const FigureLimit& limit) {
  if (limit.min && limit.max && *limit.max > *limit.min) return *limit.max - *limit.min;
  return std::nullopt;
}

// What the study's query brought: each cell's runs, oldest first, and each
// run's figures.
struct StudyRows {
  std::map<std::pair<std::string, std::string>, std::vector<std::string>> cells;  // (serial, operator)
  std::map<std::string, std::map<std::pair<std::string, std::string>, std::optional<double>>> values;
  std::map<std::pair<std::string, std::string>, std::string> units;
  std::vector<std::string> serials;  // in the order first tested
};

// The runs that `where` (over runs r) selects, with `params` bound.
StudyRows QueryStudyRows(Database& db, const std::string& where, const std::vector<SqlValue>& params) {
  StudyRows rows;
  db.Query("SELECT r.serial, r.operator, r.run_id, m.figure, m.channel, m.value, m.unit FROM measurements m "
           "JOIN runs r ON r.run_id = m.run_id WHERE m.tone = 0 AND " + where +
               " ORDER BY r.started_at, r.run_id",
           params, [&](const SqlRow& row) {
             const std::string run_id = row.Text(2);
             auto& runs = rows.cells[{row.Text(0), row.Text(1)}];
             if (runs.empty() || runs.back() != run_id) runs.push_back(run_id);
             if (std::find(rows.serials.begin(), rows.serials.end(), row.Text(0)) == rows.serials.end()) {
               rows.serials.push_back(row.Text(0));
             }
             rows.values[run_id][{row.Text(3), row.Text(4)}] = row.OptionalDouble(5);
             rows.units[{row.Text(3), row.Text(4)}] = row.Text(6);
           });
  return rows;
}

// The study of `serials` over the rows: every serial by every operator the
// same number of times, at least 2 of each.
StoredStudy BuildStudy(StudyRows& rows, const std::vector<std::string>& serials, const Limits& limits) {
  StoredStudy study;
  study.parts = serials;
  std::set<std::string> appraisers;
  for (const auto& [cell, runs] : rows.cells) appraisers.insert(cell.second);
  study.appraisers.assign(appraisers.begin(), appraisers.end());
  if (study.appraisers.size() < 2) {
    throw UnbalancedStudy("a study needs at least 2 appraisers (operators); the runs have " +
                          std::to_string(study.appraisers.size()));
  }
  for (const std::string& serial : serials) {
    for (const std::string& appraiser : study.appraisers) {
      const auto found = rows.cells.find({serial, appraiser});
      const std::size_t n = found == rows.cells.end() ? 0 : found->second.size();
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
    f.unit = rows.units[{f.figure, f.channel}];
    f.tolerance = ToleranceOf(limit);
    GaugeStudyData data{serials.size(), study.appraisers.size(), study.trials, {}};
    for (const std::string& serial : serials) {
      for (const std::string& appraiser : study.appraisers) {
        for (const std::string& run_id : rows.cells.at({serial, appraiser})) {
          const auto& run = rows.values[run_id];
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

// The runs of the study named $1 that measured something.
constexpr const char* kStudyRuns = "r.purpose = 'study' AND r.tag = $1 AND r.verdict <> 'ERROR'";

}  // namespace

StoredStudy ReadStoredStudy(Database& db, const std::vector<std::string>& serials, const std::string& since,
                            const Limits& limits) {
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
  StudyRows rows = QueryStudyRows(db, "r.serial IN (" + in + ")" + when, params);
  return BuildStudy(rows, serials, limits);
}

StoredStudy ReadTaggedStudy(Database& db, const std::string& tag, const Limits& limits) {
  StudyRows rows = QueryStudyRows(db, kStudyRuns, {tag});
  if (rows.serials.empty()) throw UnbalancedStudy("the store holds no measured runs of study " + tag);
  if (rows.serials.size() < 2) {
    throw UnbalancedStudy("a study needs at least 2 parts (serials); study " + tag + " has " +
                          rows.serials.front() + " only");
  }
  const std::vector<std::string> serials = rows.serials;
  return BuildStudy(rows, serials, limits);
}

StudyProgress ReadStudyProgress(Database& db, const std::string& tag) {
  StudyProgress progress;
  db.Query(std::string("SELECT r.serial, r.operator, COUNT(*) FROM runs r WHERE ") + kStudyRuns +
               " GROUP BY r.serial, r.operator ORDER BY MIN(r.started_at), r.serial, r.operator",
           {tag}, [&](const SqlRow& row) {
             const std::string part = row.Text(0), appraiser = row.Text(1);
             const auto runs = static_cast<std::size_t>(row.Int(2));
             progress.runs[{part, appraiser}] = runs;
             progress.total += runs;
             if (std::find(progress.parts.begin(), progress.parts.end(), part) == progress.parts.end()) {
               progress.parts.push_back(part);
             }
             if (std::find(progress.appraisers.begin(), progress.appraisers.end(), appraiser) ==
                 progress.appraisers.end()) {
               progress.appraisers.push_back(appraiser);
             }
           });
  return progress;
}

}  // namespace multitone
