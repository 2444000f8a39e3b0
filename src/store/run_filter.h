#pragma once
// Which runs a report covers: a time window, a station, a product.
#include <string>
#include <vector>

#include "store/database.h"

namespace multitone {

struct RunFilter {
  std::string since;    // ISO time, inclusive; "" for no bound
  std::string until;    // ISO time, exclusive
  std::string station;  // "" for every station
  std::string product;  // "" for every product
};

// The filter as SQL conditions on the runs table aliased `r` ("1 = 1" when
// empty), with its parameters numbered from `first_param`.
struct SqlCondition {
  std::string sql;
  std::vector<SqlValue> params;
};
SqlCondition RunCondition(Engine engine, const RunFilter& filter, int first_param);

// "2026-12-01" (the day's start) or a full ISO time, as the store's ISO time
// text "2026-12-01T00:00:00.000Z"; `next_day` gives the following day's start
// for a plain date (an inclusive --until DATE). Empty when malformed.
std::string ParseFilterTime(const std::string& text, bool next_day);

}  // namespace multitone
