#include "store/unit_history.h"

#include <map>

#include "common/run_error.h"
#include "store/dialect.h"

namespace multitone {

std::vector<HistoryEntry> UnitHistory(Database& db, const std::string& serial) {
  std::vector<HistoryEntry> history;
  std::map<std::string, std::size_t> index;
  db.Query("SELECT r.run_id, " + TimeText(db.engine(), "r.started_at") +
               ", r.station, r.verdict, r.error_number, r.error_step, r.error_text FROM runs r "
               "WHERE r.serial = $1 ORDER BY r.started_at DESC, r.run_id DESC",
           {serial}, [&](const SqlRow& row) {
             index[row.Text(0)] = history.size();
             HistoryEntry& entry = history.emplace_back();
             entry.run_id = row.Text(0);
             entry.started_at = row.Text(1);
             entry.station = row.Text(2);
             entry.verdict = row.Text(3);
             if (!row.IsNull(4)) {
               entry.error = ErrorLine(static_cast<int>(row.Int(4)), row.Text(5), row.Text(6));
             }
           });
  // A dead channel fails the response at most tones: one entry per channel.
  db.Query("SELECT m.run_id, m.figure, m.channel, count(*), min(m.tone) FROM measurements m "
           "JOIN runs r ON r.run_id = m.run_id WHERE r.serial = $1 AND m.outcome = 'FAIL' "
           "GROUP BY m.run_id, m.figure, m.channel ORDER BY m.run_id, min(m.tone), m.channel, m.figure",
           {serial}, [&](const SqlRow& row) {
             std::string name = row.Text(2).empty() ? row.Text(1) : row.Text(2) + " " + row.Text(1);
             if (row.Int(4) != 0) {
               name += row.Int(3) == 1 ? " tone " + std::to_string(row.Int(4))
                                       : " at " + std::to_string(row.Int(3)) + " tones";
             }
             history[index.at(row.Text(0))].failing.push_back(std::move(name));
           });
  return history;
}

std::string HistoryText(const std::vector<HistoryEntry>& history) {
  std::string text;
  for (const HistoryEntry& entry : history) {
    text += entry.started_at + "  " + entry.verdict + "  " + entry.station + "  " + entry.run_id;
    for (std::size_t i = 0; i < entry.failing.size(); ++i) {
      text += (i == 0 ? "  " : ", ") + entry.failing[i];
    }
    if (!entry.error.empty()) text += "  " + entry.error;
    text += '\n';
  }
  return text;
}

}  // namespace multitone
