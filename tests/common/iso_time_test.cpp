// The results' times: UTC from the day count, the same text gmtime_r gives,
// without reading the machine's time zone.
#include "common/iso_time.h"

#include <ctime>
#include <random>

#include <gtest/gtest.h>

namespace multitone {
namespace {

using std::chrono::system_clock;

system_clock::time_point AtMs(long long ms) { return system_clock::time_point(std::chrono::milliseconds(ms)); }

// The text through the C library's calendar.
std::string ThroughGmtime(long long ms) {
  std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  long millis = static_cast<long>(ms % 1000);
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  return text;
}

TEST(IsoTimeUtc, WritesTheCalendarOfTheDayCount) {
  const struct {
    long long ms;
    const char* text;
  } cases[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
      {951782400000, "2000-02-29T00:00:00.000Z"},        // a leap day of a year divisible by 400
      {4107542399999, "2100-02-28T23:59:59.999Z"},       // 2100 has none
      {1796644695123, "2026-12-07T11:58:15.123Z"},
      {9223372036854, "2262-04-11T23:47:16.854Z"},       // the last millisecond a time point holds
      {-9223372036854, "1677-09-21T00:12:43.146Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(IsoTimeUtc(AtMs(c.ms)), c.text) << c.ms;
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const long long ms = static_cast<long long>(random() % 18446744073709ULL) - 9223372036854LL;
    ASSERT_EQ(IsoTimeUtc(AtMs(ms)), ThroughGmtime(ms)) << ms;
  }
  // Below a millisecond the time is cut toward zero, before 1970 as after.
  EXPECT_EQ(IsoTimeUtc(AtMs(5) + std::chrono::microseconds(999)), "1970-01-01T00:00:00.005Z");
  EXPECT_EQ(IsoTimeUtc(AtMs(-5) - std::chrono::microseconds(999)), "1969-12-31T23:59:59.995Z");
}

}  // namespace
}  // namespace multitone
