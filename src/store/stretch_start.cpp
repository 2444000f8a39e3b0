#include "store/stretch_start.h"

#include <vector>

#include "store/dialect.h"

namespace multitone {

std::string NewestRunUnderOtherLimits(Database& db, const std::string& station,
                                      const std::optional<std::string>& limits_sha256) {
  const std::string production = "FROM runs WHERE station = $1 AND purpose = 'production'";
  // Every limits file the station ran under, by the next one above the last.
  std::string sql = "WITH RECURSIVE used (sha) AS (SELECT min(limits_sha256) " + production +
                    " UNION ALL SELECT (SELECT min(limits_sha256) " + production +
                    " AND limits_sha256 > used.sha) FROM used WHERE used.sha IS NOT NULL) "
                    "SELECT " + TimeText(db.engine(), "max(newest)") + " FROM ("
                    "SELECT (SELECT max(started_at) " + production + " AND limits_sha256 = used.sha) AS newest "
                    "FROM used WHERE used.sha IS NOT NULL";
  std::vector<SqlValue> params = {station};
  if (limits_sha256) {
    // Other limits, or none.
    sql += " AND used.sha <> $2 UNION ALL SELECT max(started_at) " + production + " AND limits_sha256 IS NULL";
    params.push_back(*limits_sha256);
  }
  sql += ") AS other";
  std::string newest;
  db.Query(sql, params, [&](const SqlRow& row) { newest = row.Text(0); });
  return newest;
}

}  // namespace multitone
