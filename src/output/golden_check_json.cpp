#include "output/golden_check_json.h"

namespace multitone {

void WriteGoldenCheckJson(JsonStream& out, const UnitResult& unit) {
  const GoldenCheck& check = *unit.golden_check;
  out.BeginObject();
  out.Key("compared").BeginArray();
  for (const GoldenDeviation& d : check.compared) {
    out.BeginObject();
    out.Key("channel").StringOrNull(d.channel);
    out.Key("figure").String(d.figure);
    out.Key("moved").NumberOrNull(d.moved);  // null when not finite too
    if (d.tone == 0) {
      out.Key("nominal_hz").Null();
    } else {
      out.Key("nominal_hz").Number(d.nominal_hz);
    }
    out.Key("reference").Number(d.reference);
    out.Key("tolerance").Number(d.tolerance);
    if (d.tone == 0) {
      out.Key("tone").Null();
    } else {
      out.Key("tone").Integer(d.tone);
    }
    out.Key("unit").String(d.unit);
    out.Key("value").NumberOrNull(d.value);
    out.Key("within").Bool(d.within);
    out.EndObject();
  }
  out.EndArray();
  out.Key("line").String(GoldenCheckLine(check));
  out.Key("passed").Bool(check.passed);
  out.Key("run_error").StringOrNull(check.run_error);
  out.Key("serial").String(check.serial);
  out.Key("tag").String(unit.tag);
  out.EndObject();
}

}  // namespace multitone
