// The simulated device's description: options, response, harmonics, faults.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "sim/device_model.h"
#include "sim/device_options.h"

namespace multitone::sim {
namespace {

TEST(DeviceOptions, ParsesEveryOptionOverTheDefaults) {
  const DeviceOptions o =
      ParseDeviceOptions("speed=1.0012,level=0.2,thd=0.1,crosstalk=-60,noise=2e-5,hum=0.001,fault=swapped,seed=7");
  EXPECT_EQ(o.speed, 1.0012);
  EXPECT_EQ(o.level_v, 0.2);
  EXPECT_EQ(o.thd_percent, 0.1);
  EXPECT_EQ(o.crosstalk_db, -60);
  EXPECT_EQ(o.noise_v, 2e-5);
  EXPECT_EQ(o.hum_v, 0.001);
  EXPECT_EQ(o.fault, DeviceFault::Swapped);
  EXPECT_EQ(o.seed, 7u);
  EXPECT_EQ(ParseDeviceOptions("").level_v, 0.1936);
  EXPECT_TRUE(std::isinf(ParseDeviceOptions("crosstalk=off").crosstalk_db));
}

TEST(DeviceOptions, RejectsUnknownMalformedAndOutOfRangeValuesByName) {
  const std::pair<const char*, const char*> cases[] = {
      {"colour=red", "colour"}, {"speed=fast", "speed"}, {"speed=3", "speed"},  {"thd=-1", "thd"},
      {"fault=melted", "melted"}, {"seed=-3", "seed"},   {"level", "level"},    {"noise=1,", "comma"},
      {"drift=2", "drift"},       {"run=1.5", "run"},    {"run=1000001", "run"},
      {"level=9,drift=1,run=10", "drift"},  // 9 V + 10 dB is beyond 10 V
      {"part_spread=7", "part_spread"},     {"part_spread=-1", "part_spread"},
      {"level=9,part_spread=6,part=P1", "part_spread"},  // P1 lies at +0.48: 9 V + 2.9 dB
  };
  for (const auto& [text, named] : cases) {
    try {
      ParseDeviceOptions(text);
      ADD_FAILURE() << text << " accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
    }
  }
}

TEST(DeviceOptions, DriftMovesTheLevelByItsDecibelsPerRunNumber) {
  // 0.1 V × 10^(0.5 × 2 / 20) = 0.1 × 10^0.05 = 0.112202 V; run 0 is the level itself.
  EXPECT_NEAR(LevelAtRun(ParseDeviceOptions("level=0.1,drift=0.5,run=2")), 0.1122018, 1e-7);
  EXPECT_EQ(LevelAtRun(ParseDeviceOptions("level=0.1,drift=0.5")), 0.1);
  EXPECT_NEAR(LevelAtRun(ParseDeviceOptions("level=0.1,drift=-0.5,run=2")), 0.0891251, 1e-7);
}

TEST(DeviceOptions, APartPlaysAtItsOwnLevelWithinTheSpread) {
  // FNV-1a of "P3" mixed by the finalizer is 0x220b52913cd9b223: its top
  // 53 bits are 0.132985 of the range, -0.734029 within -1..1;
  // 0.1 V × 10^(2 × -0.734029 / 20) = 0.0844495 V.
  EXPECT_NEAR(LevelAtRun(ParseDeviceOptions("level=0.1,part_spread=2,part=P3")), 0.0844495, 1e-7);
  // No part, or no spread: the level itself.
  EXPECT_EQ(LevelAtRun(ParseDeviceOptions("level=0.1,part_spread=2")), 0.1);
  EXPECT_EQ(LevelAtRun(ParseDeviceOptions("level=0.1,part=P3")), 0.1);
  // Serials that differ only in their last character land apart.
  EXPECT_GT(std::abs(PartShift("P1") - PartShift("P2")), 0.5);
}

TEST(DeviceOptions, DescriptionReadsBackAsTheSameOptions) {
  const DeviceOptions o =
      ParseDeviceOptions("speed=0.9985,crosstalk=off,fault=hum,seed=9,drift=0.02,run=4,part_spread=0.5,part=P-7");
  EXPECT_EQ(DescribeDeviceOptions(ParseDeviceOptions(DescribeDeviceOptions(o))), DescribeDeviceOptions(o));
}

TEST(DeviceModel, ResponseIsGentleAndDiffersSlightlyBetweenChannels) {
  for (const Channel c : {Channel::Left, Channel::Right}) {
    EXPECT_NEAR(DeviceModel::ResponseDb(c, 1000), 0, 0.01);
    EXPECT_LT(DeviceModel::ResponseDb(c, 30), -0.2);
    EXPECT_GT(DeviceModel::ResponseDb(c, 30), -1.0);
    EXPECT_LT(DeviceModel::ResponseDb(c, 20000), -0.2);
    EXPECT_GT(DeviceModel::ResponseDb(c, 20000), -1.0);
  }
  EXPECT_NE(DeviceModel::ResponseDb(Channel::Left, 20000), DeviceModel::ResponseDb(Channel::Right, 20000));
}

TEST(DeviceModel, TonesFollowTheSpeedAndTheTablesDifferAtTones3And12) {
  const DeviceModel device(ParseDeviceOptions("speed=1.0012"));
  EXPECT_DOUBLE_EQ(device.ToneHz(Channel::Left, 7), 1001.2);
  EXPECT_DOUBLE_EQ(device.ToneHz(Channel::Left, 3), 100 * 1.0012);
  EXPECT_DOUBLE_EQ(device.ToneHz(Channel::Right, 3), 130 * 1.0012);
  EXPECT_DOUBLE_EQ(device.ToneHz(Channel::Right, 12), 10100 * 1.0012);
}

TEST(DeviceModel, HarmonicsAddUpToTheThd) {
  const DeviceModel device(ParseDeviceOptions("thd=0.5"));
  double sum = 0;
  for (int h = 2; h <= 9; ++h) sum += std::pow(device.HarmonicRatio(h), 2);
  EXPECT_NEAR(std::sqrt(sum), 0.005, 1e-12);
  EXPECT_GT(device.HarmonicRatio(2), device.HarmonicRatio(9));
}

TEST(DeviceModel, RenderingIsDeterministicAndDeadChannelsAreSilent) {
  const DeviceModel device(ParseDeviceOptions("fault=dead-right,seed=3"));
  RenderWorkspace workspace;
  std::vector<float> a1(4096), b1(4096), a2(4096), b2(4096);
  RenderRequest request;
  request.noise_period = 4096;
  device.Render(request, workspace, a1, b1);
  device.Render(request, workspace, a2, b2);
  EXPECT_EQ(a1, a2);
  EXPECT_EQ(b1, std::vector<float>(4096, 0.0f));
  request.acquisition = 1;
  device.Render(request, workspace, a2, b2);
  EXPECT_NE(a1, a2);  // another stretch of noise
}

TEST(DeviceModel, ClippingHoldsTheOutputAtTheRail) {
  const DeviceModel device(ParseDeviceOptions("fault=clipping"));
  RenderWorkspace workspace;
  std::vector<float> a(16384), b(16384);
  RenderRequest request;
  device.Render(request, workspace, a, b);
  const float rail = static_cast<float>(device.ClippingRailV());
  EXPECT_GT(rail, 0.0f);
  std::size_t clipped = 0;
  for (const float v : a) {
    EXPECT_LE(std::abs(v), rail);
    if (std::abs(v) == rail) ++clipped;
  }
  EXPECT_GT(clipped, 10u);
}

}  // namespace
}  // namespace multitone::sim
