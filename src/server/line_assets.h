#pragma once
// The line page's files, built into the program from src/server/assets and
// from Debian's Chart.js (the line has no internet: nothing is fetched from
// anywhere else).
#include <string_view>

namespace multitone::server {

extern const std::string_view kLineHtml;
extern const std::string_view kLineScript;
extern const std::string_view kLineStyle;
extern const std::string_view kChartScript;  // Chart.js 3.9, minified

}  // namespace multitone::server
