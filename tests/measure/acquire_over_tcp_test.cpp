// The acquisition over the real TCP transport against a scripted analyzer:
// the blocks arrive bit for bit and LastResponse holds the right level reply.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run/run_measurement.h"
#include "link/tcp_transport.h"
#include "support/scripted_server.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

TEST(AcquireSpectra, ReadsBothBlocksOverTcpAfterFormReal) {
  const AnalyzerScript script = PlausibleDevice();
  ScriptedAnalyzer analyzer;
  Apply(script, analyzer);
  ScriptedServer server(analyzer);

  MeasurementRecord record;
  record.CreateAnalyzer = [&] {
    return std::make_unique<AnalyzerLink>(
        OpenTcpTransport("127.0.0.1", server.Port(), std::chrono::milliseconds(5000)));
  };
  for (const RunStep& step : RunSteps()) {
    step.perform(record);
    if (step.name == "AcquireSpectra") break;
  }

  EXPECT_EQ(record.LastResponse, "7.73900000E-01");
  EXPECT_EQ(record.TotalLevelLeft, 0.7746);
  EXPECT_EQ(record.TotalLevelRight, 0.7739);
  for (std::size_t k = 0; k < 8192; ++k) {
    ASSERT_EQ(record.SpectrumLeft[k], script.spectrum_left[k]) << "bin " << k;
    ASSERT_EQ(record.SpectrumRight[k], script.spectrum_right[k]) << "bin " << k;
  }
  EXPECT_EQ(record.SpectrumLeft[8192], 0.0f);
  EXPECT_EQ(record.ToneBinLeft[7], 342.0);
  EXPECT_EQ(record.RefLevelLeft, script.spectrum_left[342]);
  const auto received = server.Received();
  const std::vector<std::string> tail(received.end() - 7, received.end());
  EXPECT_THAT(tail, ::testing::ElementsAre("init:cont off;*wai", "sens:data?", "sens:data2?",
                                           "form real", "trac:load:fft_ay?", "form real",
                                           "trac:load:fft_by?"));
}

}  // namespace
}  // namespace multitone::testing
