#include "output/golden_check_json.h"

#include <cmath>

namespace multitone {

nlohmann::json GoldenCheckJson(const UnitResult& unit) {
  using nlohmann::json;
  const GoldenCheck& check = *unit.golden_check;
  json compared = json::array();
  for (const GoldenDeviation& d : check.compared) {
    const bool moved = d.moved && std::isfinite(*d.moved);
    compared.push_back({{"figure", d.figure},
                        {"channel", d.channel.empty() ? json(nullptr) : json(d.channel)},
                        {"tone", d.tone == 0 ? json(nullptr) : json(d.tone)},
                        {"nominal_hz", d.tone == 0 ? json(nullptr) : json(d.nominal_hz)},
                        {"reference", d.reference},
                        {"value", d.value ? json(*d.value) : json(nullptr)},
                        {"moved", moved ? json(*d.moved) : json(nullptr)},
                        {"unit", d.unit},
                        {"tolerance", d.tolerance},
                        {"within", d.within}});
  }
  return {{"serial", check.serial},
          {"tag", unit.tag},
          {"passed", check.passed},
          {"line", GoldenCheckLine(check)},
          {"run_error", check.run_error.empty() ? json(nullptr) : json(check.run_error)},
          {"compared", std::move(compared)}};
}

}  // namespace multitone
