#pragma once
// The station page's files, built into the program from src/server/assets
// (the line has no internet: nothing is fetched from anywhere else).
#include <string_view>

namespace multitone::server {

extern const std::string_view kStationHtml;  // with {{station}}-style slots
extern const std::string_view kStationScript;
extern const std::string_view kStationStyle;
extern const std::string_view kStationIcon;  // SVG

}  // namespace multitone::server
