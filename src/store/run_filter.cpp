#include "store/run_filter.h"

#include <chrono>
#include <cstdio>

#include "store/dialect.h"

namespace multitone {

SqlCondition RunCondition(Engine engine, const RunFilter& filter, int first_param) {
  SqlCondition condition{"1 = 1", {}};
  auto add = [&](const std::string& column, const std::string& op, const std::string& value,
                 bool time) {
    if (value.empty()) return;
    const int n = first_param + static_cast<int>(condition.params.size());
    condition.sql += " AND r." + column + " " + op + " " +
                     (time ? TimeParam(engine, n) : "$" + std::to_string(n));
    condition.params.push_back(value);
  };
  add("started_at", ">=", filter.since, true);
  add("started_at", "<", filter.until, true);
  add("station", "=", filter.station, false);
  add("product", "=", filter.product, false);
  return condition;
}

std::string ParseFilterTime(const std::string& text, bool next_day) {
  auto digits = [&](std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
      if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    }
    return true;
  };
  const bool is_date = text.size() >= 10 && digits(0, 4) && text[4] == '-' && digits(5, 2) &&
                       text[7] == '-' && digits(8, 2);
  if (!is_date) return {};
  const std::chrono::year_month_day date{
      std::chrono::year(std::stoi(text.substr(0, 4))),
      std::chrono::month(static_cast<unsigned>(std::stoi(text.substr(5, 2)))),
      std::chrono::day(static_cast<unsigned>(std::stoi(text.substr(8, 2))))};
  if (!date.ok()) return {};
  if (text.size() > 10) {
    // "YYYY-MM-DDTHH:MM:SS[.mmm]Z"
    const bool time = text[10] == 'T' && digits(11, 2) && text[13] == ':' && digits(14, 2) &&
                      text[16] == ':' && digits(17, 2) && text.back() == 'Z';
    if (time && text.size() == 20) return text.substr(0, 19) + ".000Z";
    if (time && text.size() == 24 && text[19] == '.' && digits(20, 3)) return text;
    return {};
  }
  const std::chrono::year_month_day day{std::chrono::sys_days(date) +
                                        std::chrono::days(next_day ? 1 : 0)};
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT00:00:00.000Z", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return buffer;
}

}  // namespace multitone
