#pragma once
// Where a station's current stretch of production runs under one limits file
// begins: after its newest production run judged against other limits. The
// station's limits files are visited one by one in the station's limits
// index (runs_station_limits), each the next above the last, and each one's
// newest run taken: a few seeks however long the station's history. A store
// without that index gives the same answer by reading more.
#include <optional>
#include <string>

#include "store/database.h"

namespace multitone {

// The start time (as the store's time text) of `station`'s newest
// production run judged against limits other than `limits_sha256`: other
// limits or none when it is given, any limits when it is not. Empty when
// the station has no such run. Throws StoreError.
std::string NewestRunUnderOtherLimits(Database& db, const std::string& station,
                                      const std::optional<std::string>& limits_sha256);

}  // namespace multitone
