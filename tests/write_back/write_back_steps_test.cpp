// The three report steps on the worked values: memory strings, the response
// graph and the results table, text for text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "write_back/write_back_steps.h"
#include "support/scripted_run.h"

namespace multitone::testing {
namespace {

class Reports : public ::testing::Test {
 protected:
  void SetUp() override {
    AnalyzerScript script;
    script.frequency = "1001.2";
    run = std::make_unique<ScriptedRun>(script);
    run->RunThrough("ComputeDistortionAndNoise");
    MeasurementRecord& r = run->record;
    r.TotalLevelLeft = 0.7746;
    r.TotalLevelRight = 0.7739;
    r.RefLevelLeft = 0.19364f;
    r.RefLevelRight = 0.19347f;
    r.DistortionLeft = GeneralValue::Float64(0.031622776601683794);
    r.DistortionRight = GeneralValue::Int16(0);
    r.CrosstalkLeft[3] = -75.69041072834011;
    r.CrosstalkRight[3] = GeneralValue::Float64(-78.52433220347197);
    r.CrosstalkLeft[12] = 240.0;
    r.CrosstalkRight[12] = GeneralValue::Float64(-61.3);
    r.NoiseLeft = GeneralValue::Float64(0.0000123456789);
    r.NoiseRight = 0.000987654321;
    r.SignalToNoiseLeft = GeneralValue::Float64(95.95125030961586);
    r.SignalToNoiseRight = GeneralValue::Int16(240);
    sent_before = run->analyzer.Received().size();
  }

  // The texts a step sent.
  std::vector<std::string> Sent(void (*step)(MeasurementRecord&)) {
    const std::size_t before = run->analyzer.Received().size();
    step(run->record);
    const auto all = run->analyzer.Received();
    return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
  }

  std::unique_ptr<ScriptedRun> run;
  std::size_t sent_before = 0;
};

TEST_F(Reports, WritesTheEightMemoryStrings) {
  EXPECT_THAT(Sent(WriteResultStrings),
              ::testing::ElementsAre("syst:mem:str1 '-.120000000000009 %'",
                                     "syst:mem:str2 ' .7746 V, .7739 V'",
                                     "syst:mem:str3 ' .19364 V, .19347 V'",
                                     "syst:mem:str4 ' .0316227766016838 %, 0 %'",
                                     "syst:mem:str5 '-75.6904107283401 dB,-78.524332203472 dB'",
                                     "syst:mem:str6 ' 240 dB,-61.3 dB'",
                                     "syst:mem:str7 ' 1.23456789E-05 V, .000987654321 V'",
                                     "syst:mem:str8 ' 95.9512503096159 dB, 240 dB'"));
}

TEST_F(Reports, WritesThePitchErrorOfNominalAndSlowDevices) {
  run->record.PitchFactor = 1.0;
  EXPECT_EQ(Sent(WriteResultStrings).front(), "syst:mem:str1 ' 0 %'");
  run->record.PitchFactor = 0.9985;
  EXPECT_EQ(Sent(WriteResultStrings).front(), "syst:mem:str1 ' .149999999999995 %'");
}

TEST_F(Reports, WritesUndefinedFiguresAsTheirSentinels) {
  MeasurementRecord& r = run->record;
  r.CrosstalkLeft[3] = 240.0;
  r.CrosstalkRight[3] = GeneralValue::Int16(240);
  r.DistortionLeft = GeneralValue::Int16(0);
  r.DistortionRight = GeneralValue::Float64(0.0);
  const auto sent = Sent(WriteResultStrings);
  EXPECT_EQ(sent[3], "syst:mem:str4 ' 0 %, 0 %'");
  EXPECT_EQ(sent[4], "syst:mem:str5 ' 240 dB, 240 dB'");
}

TEST_F(Reports, DrawsTheResponseGraph) {
  const auto sent = Sent(DrawResponseGraph);
  ASSERT_EQ(sent.size(), 7u);
  EXPECT_EQ(sent[0],
            "DISP:SWE:X:SOUR MAN;:DISP:SWE:X:SCAL MAN;:DISP:SWE:X:LEFT  30.036 HZ;:DISP:SWE:X:RIGH  "
            "20024 HZ");
  EXPECT_EQ(sent[1], "DISP:SWE:A:REF:VAL  .19364 V");
  EXPECT_EQ(sent[2], "DISP:SWE:B:REF:VAL  .19347 V");
  EXPECT_EQ(sent[3],
            "trac:swe:store:ax  30.036, 70.084, 100.12, 230.276, 480.576, 710.852, 1001.2, "
            "1551.86, 2603.12, 4405.28, 7108.52, 9911.88, 12014.4, 15018, 18021.6, 20024");
  EXPECT_EQ(sent[4], "trac:swe:store:ay " + run->record.ResponseListLeft);
  EXPECT_EQ(sent[5], "trac:swe:store:bx " + run->record.FreqListRight);
  EXPECT_EQ(sent[6], "trac:swe:store:by " + run->record.ResponseListRight);
}

TEST_F(Reports, DrawsTheAxisOfANominalDeviceAndAZeroReference) {
  AnalyzerScript script;
  ScriptedRun nominal(script);
  nominal.RunThrough("ShowResultsTable");
  const auto received = nominal.analyzer.Received();
  const auto axis = std::find_if(received.begin(), received.end(),
                                 [](const std::string& t) { return t.rfind("DISP:SWE:X", 0) == 0; });
  ASSERT_NE(axis, received.end());
  EXPECT_EQ(*axis,
            "DISP:SWE:X:SOUR MAN;:DISP:SWE:X:SCAL MAN;:DISP:SWE:X:LEFT  30 HZ;:DISP:SWE:X:RIGH  "
            "20000 HZ");
  EXPECT_EQ(*(axis + 1), "DISP:SWE:A:REF:VAL  0 V");
  // All-zero spectra: every response is the floor; the list starts after one blank.
  EXPECT_EQ((axis + 4)->substr(0, 24), "trac:swe:store:ay -240,-");
}

TEST_F(Reports, ShowsTheResultsTable) {
  const auto sent = Sent(ShowResultsTable);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], "syst:disp:expl:show 'x=381,y=296,w=259,h=142'");
  EXPECT_EQ(sent[1],
            "syst:disp:expl:text '<table cellspacing=0 cellpadding=-1><tr><td><b>Measurement "
            "Results  </td><td><b>Left</td><td><b>Right</td></tr><tr><td>Pitch Error / "
            "%</td><td>-.12</td></tr><tr><td>Total Level / V</td><td> .775</td><td> "
            ".774</td></tr><tr><td>Reference @ 1kHz / V</td><td> .1936</td><td> "
            ".1935</td></tr><tr><td>Distortion / %</td><td> .0316</td><td> "
            "0</td></tr><tr><td>Crosstalk / dB @100Hz </td><td>-75.7</td><td>-78.5</td></"
            "tr><tr><td>Crosstalk / dB @10kHz </td><td> 240</td><td>-61.3</td></tr><tr><td>S/N / "
            "dB</td><td> 96</td><td> 240</td></tr></table>'");
  EXPECT_EQ("syst:disp:expl:text '<table cellspacing=0 cellpadding=-1>" + run->record.ResultTable +
                "</table>'",
            sent[1]);
}

}  // namespace
}  // namespace multitone::testing
