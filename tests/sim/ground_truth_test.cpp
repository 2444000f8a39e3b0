// Complete runs of multitone against the embedded simulated analyzer: the
// results the run leaves in the analyzer agree with what the simulated
// device really does, and each fault shows where a test engineer looks.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "app/doors/embedded_analyzer.h"
#include "run/run_measurement.h"
#include "sim/device_model.h"
#include "sim/simulated_analyzer.h"

namespace multitone {
namespace {

using sim::Channel;
using sim::DeviceModel;

struct RunResult {
  bool completed = false;
  std::string error;       // the report of a failed run
  std::string traffic;     // the --trace lines
  sim::InstrumentState state;
};

RunResult RunOn(EmbeddedAnalyzer& analyzer) {
  RunResult result;
  std::ostringstream trace;
  MeasurementRecord record;
  record.CreateAnalyzer = [&analyzer, &trace] {
    return std::make_unique<AnalyzerLink>(analyzer.Connect(std::chrono::seconds(20)), &trace);
  };
  try {
    RunMeasurement(record);
    result.completed = true;
  } catch (const RunError& error) {
    result.error = error.Report();
  }
  result.traffic = trace.str();
  result.state = analyzer.Simulator().GetInstrument().State();
  return result;
}

RunResult RunOn(const std::string& options) {
  EmbeddedAnalyzer analyzer("sim:" + options);
  return RunOn(analyzer);
}

// The numbers of memory string n ("-74.1 dB,-76.3 dB" gives both).
std::vector<double> Memory(const RunResult& run, int n) {
  std::vector<double> values;
  std::stringstream text(run.state.memory[static_cast<std::size_t>(n - 1)]);
  std::string item;
  while (std::getline(text, item, ',')) values.push_back(std::stod(item));
  return values;
}

// The device's own response of tone w relative to its 1 kHz tone, dB.
double TrueResponseDb(Channel channel, int tone, double speed) {
  const double hz = DeviceModel::NominalTonesHz(channel)[static_cast<std::size_t>(tone - 1)] * speed;
  return DeviceModel::ResponseDb(channel, hz) - DeviceModel::ResponseDb(channel, 1000 * speed);
}

std::size_t Count(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

TEST(GroundTruth, FirstRunSetsAllFiveSettingsAndASecondRunSetsNone) {
  EmbeddedAnalyzer analyzer("sim");
  const RunResult first = RunOn(analyzer);
  ASSERT_TRUE(first.completed) << first.error;
  for (const char* set : {"> SENS:UNIT V\n", "> SENS:UNIT2 V\n", "> sens:func:fft:wind flat\n",
                          "> sens:func:fft:size S16K\n", "> inp:band:mode B22\n"}) {
    EXPECT_EQ(Count(first.traffic, set), 1u) << set;
  }
  const RunResult second = RunOn(analyzer);
  ASSERT_TRUE(second.completed) << second.error;
  for (const char* set : {"> SENS:UNIT V", "> SENS:UNIT2 V", "wind flat", "size S16K", "mode B22"}) {
    EXPECT_EQ(Count(second.traffic, set), 0u) << set;
  }
  EXPECT_EQ(Count(second.traffic, "\n< V\n"), 2u);
  EXPECT_EQ(Count(second.traffic, "\n< FLAT\n"), 1u);
  EXPECT_EQ(Count(second.traffic, "\n< S16K\n"), 1u);
  EXPECT_EQ(Count(second.traffic, "\n< B22\n"), 1u);
}

TEST(GroundTruth, PitchErrorIsTheSpeedSet) {
  for (const double speed : {1.0012, 0.9985, 1.0}) {
    const RunResult run = RunOn("speed=" + std::to_string(speed));
    ASSERT_TRUE(run.completed) << run.error;
    EXPECT_NEAR(Memory(run, 1).at(0), (1 - speed) * 100, 0.0005) << speed;
  }
}

TEST(GroundTruth, ResponseOfEveryToneIsTheDevicesOwn) {
  const double speed = 1.0012;
  const RunResult run = RunOn("speed=1.0012");
  ASSERT_TRUE(run.completed) << run.error;
  for (const Channel channel : {Channel::Left, Channel::Right}) {
    const std::vector<double>& y = run.state.sweep.traces[static_cast<std::size_t>(channel)].y;
    ASSERT_EQ(y.size(), 16u);
    for (int tone = 1; tone <= 16; ++tone) {
      EXPECT_NEAR(y[static_cast<std::size_t>(tone - 1)], TrueResponseDb(channel, tone, speed), 0.05)
          << "channel " << static_cast<int>(channel) << " tone " << tone;
    }
  }
  // The band edges really are down, so the comparison means something.
  EXPECT_LT(run.state.sweep.traces[0].y.front(), -0.2);
  EXPECT_LT(run.state.sweep.traces[0].y.back(), -0.2);
}

TEST(GroundTruth, TotalAndReferenceLevelsAreTheTonesRms) {
  const RunResult run = RunOn("speed=1.0012,level=0.25");
  ASSERT_TRUE(run.completed) << run.error;
  const DeviceModel device(sim::ParseDeviceOptions("speed=1.0012,level=0.25"));
  for (const Channel channel : {Channel::Left, Channel::Right}) {
    double power = 0;
    for (int tone = 1; tone <= 16; ++tone) power += std::pow(device.ToneRmsV(channel, tone), 2);
    const auto c = static_cast<std::size_t>(channel);
    // One record of 0.34 s: the slow tones' cross terms leave some 0.2 %.
    EXPECT_NEAR(Memory(run, 2).at(c), std::sqrt(power), 0.01 * std::sqrt(power));
    EXPECT_NEAR(Memory(run, 3).at(c), device.ToneRmsV(channel, 7), 0.001 * device.ToneRmsV(channel, 7));
  }
}

TEST(GroundTruth, DistortionIsTheThdSet) {
  for (const double thd : {0.03, 0.3}) {
    const RunResult run = RunOn("thd=" + std::to_string(thd));
    ASSERT_TRUE(run.completed) << run.error;
    EXPECT_NEAR(Memory(run, 4).at(0), thd, 0.05 * thd);
    EXPECT_NEAR(Memory(run, 4).at(1), thd, 0.05 * thd);
  }
}

// Without harmonics: the 30 Hz tone's third harmonic (90 Hz) lies 3.4 bins
// from the 100 Hz bin, inside the flat-top's main lobe, and would add up to
// about 1.5 dB to the 100 Hz figure at thd 0.03 %.
TEST(GroundTruth, CrosstalkAtBothFrequenciesIsTheCrosstalkSet) {
  for (const double crosstalk : {-75.0, -60.0}) {
    const RunResult run = RunOn("thd=0,speed=1.0012,crosstalk=" + std::to_string(crosstalk));
    ASSERT_TRUE(run.completed) << run.error;
    for (const int n : {5, 6}) {
      EXPECT_NEAR(Memory(run, n).at(0), crosstalk, 1.0) << "memory string " << n;
      EXPECT_NEAR(Memory(run, n).at(1), crosstalk, 1.0) << "memory string " << n;
    }
  }
}

TEST(GroundTruth, SignalToNoiseIsTotalLevelOverNoise) {
  for (const double noise : {1e-5, 1e-4}) {
    const RunResult run = RunOn("thd=0,crosstalk=off,noise=" + std::to_string(noise));
    ASSERT_TRUE(run.completed) << run.error;
    for (const std::size_t c : {0u, 1u}) {
      const double expected = 20 * std::log10(Memory(run, 2).at(c) / noise);
      EXPECT_NEAR(Memory(run, 8).at(c), expected, 1.5) << "noise " << noise << " channel " << c;
      EXPECT_NEAR(Memory(run, 7).at(c), noise, 0.2 * noise);
    }
  }
}

TEST(GroundTruth, DeadRightChannelShowsNoLevelNoResponseAndNoNoise) {
  const RunResult run = RunOn("fault=dead-right");
  ASSERT_TRUE(run.completed) << run.error;
  EXPECT_EQ(Memory(run, 2).at(1), 0.0);
  EXPECT_GT(Memory(run, 2).at(0), 0.7);
  for (const double y : run.state.sweep.traces[1].y) EXPECT_EQ(y, -240);
  EXPECT_EQ(Memory(run, 8).at(1), 240);
  EXPECT_EQ(Memory(run, 4).at(1), 0);
  EXPECT_LT(Memory(run, 8).at(0), 200);
}

TEST(GroundTruth, DeadLeftChannelLeavesNoReferenceToneAndTheRunStops) {
  // The frequency reading of a silent channel A is 0 Hz: pitch factor 0, and
  // the noise masks meet their index limit.
  const RunResult run = RunOn("fault=dead-left");
  EXPECT_FALSE(run.completed);
  EXPECT_NE(run.error.find("error 9: BuildNoiseMasks"), std::string::npos) << run.error;
}

TEST(GroundTruth, SwappedCablesTurnCrosstalkPositiveAndMoveTheOddTones) {
  const RunResult run = RunOn("fault=swapped,thd=0");
  ASSERT_TRUE(run.completed) << run.error;
  // Each channel now carries the other's tones at 100/130 Hz and 9.9/10.1 kHz.
  for (const int n : {5, 6}) {
    EXPECT_NEAR(Memory(run, n).at(0), 75, 1.0);
    EXPECT_NEAR(Memory(run, n).at(1), 75, 1.0);
  }
  for (const std::size_t c : {0u, 1u}) {
    EXPECT_NEAR(run.state.sweep.traces[c].y[2], -75, 1.0);
    EXPECT_NEAR(run.state.sweep.traces[c].y[11], -75, 1.0);
    EXPECT_NEAR(run.state.sweep.traces[c].y[6], 0, 1e-9);
  }
}

TEST(GroundTruth, HumLowersSignalToNoise) {
  const RunResult clean = RunOn("");
  const RunResult hum = RunOn("fault=hum");
  ASSERT_TRUE(clean.completed && hum.completed) << hum.error;
  for (const std::size_t c : {0u, 1u}) EXPECT_LT(Memory(hum, 8).at(c), Memory(clean, 8).at(c) - 10);
}

TEST(GroundTruth, ClippingRaisesDistortion) {
  const RunResult run = RunOn("fault=clipping");
  ASSERT_TRUE(run.completed) << run.error;
  EXPECT_GT(Memory(run, 4).at(0), 0.3);
  EXPECT_GT(Memory(run, 4).at(1), 0.3);
}

TEST(GroundTruth, SameSeedSameResultsOtherSeedOtherNoise) {
  const RunResult a = RunOn("seed=7");
  const RunResult b = RunOn("seed=7");
  const RunResult c = RunOn("seed=8");
  EXPECT_EQ(a.state.memory, b.state.memory);
  EXPECT_NE(a.state.memory[6], c.state.memory[6]);
}

TEST(GroundTruth, ResultsTableAndScreenTextShowTheRun) {
  EmbeddedAnalyzer analyzer("sim:speed=1.0012");
  const RunResult run = RunOn(analyzer);
  ASSERT_TRUE(run.completed) << run.error;
  EXPECT_TRUE(run.state.explanation.shown);
  EXPECT_EQ(run.state.explanation.x, 381);
  EXPECT_EQ(run.state.explanation.height, 142);
  const std::string text = analyzer.ScreenText();
  const std::size_t pitch = text.find("Pitch Error / %");
  ASSERT_NE(pitch, std::string::npos) << text;
  EXPECT_EQ(text.substr(text.find('\n', pitch) - 5, 6), " -.12\n") << text;
  EXPECT_NE(text.find("  1: -.120000000000009 %"), std::string::npos) << text;
  EXPECT_NE(analyzer.ScreenSvg().find("<polyline"), std::string::npos);
}

TEST(EmbeddedAnalyzer, UnknownOrMalformedOptionFailsTheLinkWith429) {
  for (const char* address : {"sim:speed=fast", "sim:colour=red", "sim:speed=1.0,", "sim:fault=melted",
                              "sim:level", "simulator"}) {
    try {
      EmbeddedAnalyzer analyzer(address);
      ADD_FAILURE() << address << " was accepted";
    } catch (const RunError& error) {
      EXPECT_EQ(error.Number(), ErrorNumber::LinkCannotBeCreated) << address;
    }
  }
}

TEST(EmbeddedAnalyzer, ReadingWithNoReplyPendingFailsAtOnce) {
  EmbeddedAnalyzer analyzer("sim");
  std::unique_ptr<Transport> transport = analyzer.Connect(std::chrono::seconds(20));
  transport->Initialize("selfadjustment");
  transport->Write("*CLS");
  try {
    transport->Read();
    ADD_FAILURE() << "read returned";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_NE(error.Description().find("no reply pending"), std::string::npos) << error.Description();
  }
}

}  // namespace
}  // namespace multitone
