// Cpk and its interval worked by hand, the moments of stations pooled, and
// which station stands apart from the others.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "line/capability.h"

namespace multitone::testing {
namespace {

// n, mean and squared deviations of the values.
FigureMoments Of(const std::vector<double>& values) {
  FigureMoments m;
  m.n = values.size();
  for (const double v : values) m.mean += v / static_cast<double>(values.size());
  for (const double v : values) m.squares += (v - m.mean) * (v - m.mean);
  return m;
}

TEST(Capability, CpkAndItsIntervalByHand) {
  // 8 9 10 11 12: mean 10, s = sqrt(10 / 4) = 1.58114.
  // Limits 5..16: Cpk = min(6, 5) / (3 s) = 1.05409; se = sqrt(1/45 + 1.05409^2 / 8)
  // = 0.40139; 1.05409 -+ 1.95996 se = 0.26739 .. 1.84080.
  // Only min 7: Cpk = 3 / (3 s) = 0.63246; se = sqrt(1/45 + 0.4 / 8) = 0.26874;
  // 0.10573 .. 1.15918.
  const FigureMoments values = Of({8, 9, 10, 11, 12});
  struct Case {
    std::optional<double> low, high;
    double cpk, from, to;
  };
  const Case cases[] = {{5, 16, 1.0540926, 0.2673895, 1.8407956}, {7, {}, 0.6324555, 0.1057310, 1.1591800}};
  for (const Case& c : cases) {
    const auto got = CapabilityOf(values, c.low, c.high);
    ASSERT_TRUE(got.has_value());
    EXPECT_NEAR(got->cpk, c.cpk, 1e-6);
    EXPECT_NEAR(got->low, c.from, 1e-6);
    EXPECT_NEAR(got->high, c.to, 1e-6);
  }
  EXPECT_FALSE(CapabilityOf(values, {}, {}).has_value());         // no limits
  EXPECT_FALSE(CapabilityOf(Of({3, 3, 3}), 0, 5).has_value());     // no spread
  EXPECT_FALSE(CapabilityOf(Of({3}), 0, 5).has_value());           // one value
}

TEST(Capability, PooledMomentsAreThoseOfAllValues) {
  const FigureMoments all = Pooled({Of({1, 2, 3}), Of({}), Of({10, 14}), Of({7})});
  const FigureMoments direct = Of({1, 2, 3, 10, 14, 7});
  EXPECT_EQ(all.n, 6u);
  EXPECT_NEAR(all.mean, direct.mean, 1e-12);
  EXPECT_NEAR(all.squares, direct.squares, 1e-9);
  EXPECT_NEAR(StandardDeviation(all), std::sqrt(direct.squares / 5), 1e-12);
}

TEST(Capability, StationStandingApart) {
  // Each station: 50 values, mean as given, standard deviation 1.
  auto station = [](double mean, std::size_t n = 50, double stddev = 1) {
    return FigureMoments{n, mean, static_cast<double>(n - 1) * stddev * stddev};
  };
  struct Case {
    const char* what;
    std::vector<FigureMoments> stations;
    std::vector<bool> apart;
  };
  const Case cases[] = {
      {"one station off by 2 sigma", {station(0), station(0.1), station(-0.1), station(2)}, {false, false, false, true}},
      {"small differences, many values", {station(0, 5000), station(0.2, 5000), station(-0.1, 5000)}, {false, false, false}},
      {"off by 0.6 sigma with few values", {station(0, 4), station(0.05, 4), station(0.6, 4)}, {false, false, false}},
      {"two stations cannot tell which", {station(0), station(5)}, {false, false}},
      {"a station with one value says nothing", {station(0), station(0.1), station(9, 1), station(-0.1)},
       {false, false, false, false}},
      {"two of five apart, one each side", {station(0), station(0.1), station(-3), station(-0.1), station(3)},
       {false, false, true, false, true}},
      {"a dead unit widens its own station's spread, not the others'",
       {station(0), station(0.1), station(-0.1), station(1.5), station(-2, 50, 10)}, {false, false, false, true, false}},
  };
  for (const Case& c : cases) EXPECT_EQ(StandingOut(c.stations), c.apart) << c.what;
}

}  // namespace
}  // namespace multitone::testing
