#include "output/golden_check_json.h"

#include <cmath>

namespace multitone {

void WriteGoldenCheckJson(JsonStream& out, const UnitResult& unit) {
  const GoldenCheck& check = *unit.golden_check;
  out.BeginObject();
  out.Key("compared").BeginArray();
  for (const GoldenDeviation& d : check.compared) {
    out.BeginObject();
    if (d.channel.empty()) {
      out.Key("channel").Null();
    } else {
      out.Key("channel").String(d.channel);
    }
    out.Key("figure").String(d.figure);
    if (d.moved && std::isfinite(*d.moved)) {
      out.Key("moved").Number(*d.moved);
    } else {
      out.Key("moved").Null();
    }
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
    if (d.value) {
      out.Key("value").Number(*d.value);
    } else {
      out.Key("value").Null();
    }
    out.Key("within").Bool(d.within);
    out.EndObject();
  }
  out.EndArray();
  out.Key("line").String(GoldenCheckLine(check));
  out.Key("passed").Bool(check.passed);
  if (check.run_error.empty()) {
    out.Key("run_error").Null();
  } else {
    out.Key("run_error").String(check.run_error);
  }
  out.Key("serial").String(check.serial);
  out.Key("tag").String(unit.tag);
  out.EndObject();
}

}  // namespace multitone
