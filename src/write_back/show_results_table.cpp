#include "common/table_index.h"
#include "record/idioms.h"
#include "write_back/rounded_cell_text.h"
#include "write_back/write_back_steps.h"

namespace multitone {
namespace {

// One row with a cell per channel.
std::string Row(std::string_view label, const GeneralValue& left, const GeneralValue& right,
                std::string_view mask) {
  return std::string(label) + RoundedCellText(left, mask) + "</td><td>" +
         RoundedCellText(right, mask) + "</td></tr>";
}

}  // namespace

void ShowResultsTable(MeasurementRecord& record) {
  Link(record).Write("syst:disp:expl:show 'x=381,y=296,w=259,h=142'");

  using V = GeneralValue;
  std::string& table = record.ResultTable;
  table.clear();
  // The header row's <b> tags stay open, as the analyzer has always shown them.
  table += "<tr><td><b>Measurement Results  </td><td><b>Left</td><td><b>Right</td></tr>";
  table += "<tr><td>Pitch Error / %</td><td>" +
           RoundedCellText(V::Float64(PitchErrorPercent(record)), "#0.00") + "</td></tr>";
  table += Row("<tr><td>Total Level / V</td><td>", V::Float64(record.TotalLevelLeft),
               V::Float64(record.TotalLevelRight), "00.000");
  table += Row("<tr><td>Reference @ 1kHz / V</td><td>", V::Float32(record.RefLevelLeft),
               V::Float32(record.RefLevelRight), "00.0000");
  table += Row("<tr><td>Distortion / %</td><td>", record.DistortionLeft, record.DistortionRight,
               "0.0000");
  table += Row("<tr><td>Crosstalk / dB @100Hz </td><td>",
               V::Float64(At(record.CrosstalkLeft, 3, "CrosstalkLeft")),
               At(record.CrosstalkRight, 3, "CrosstalkRight"), "###0.0");
  table += Row("<tr><td>Crosstalk / dB @10kHz </td><td>",
               V::Float64(At(record.CrosstalkLeft, 12, "CrosstalkLeft")),
               At(record.CrosstalkRight, 12, "CrosstalkRight"), "###0.0");
  table += Row("<tr><td>S/N / dB</td><td>", record.SignalToNoiseLeft, record.SignalToNoiseRight,
               "###0.0");

  Link(record).Write("syst:disp:expl:text '<table cellspacing=0 cellpadding=-1>" + table +
                     "</table>'");
}

}  // namespace multitone
