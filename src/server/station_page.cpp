#include "server/station_page.h"

#include <map>
#include <string_view>

#include "common/html_escape.h"
#include "server/station_assets.h"

namespace multitone::server {

std::string StationPage(const PageIdentity& identity) {
  const std::map<std::string_view, std::string> slots = {
      {"station", HtmlEscape(identity.station)},
      {"product", HtmlEscape(identity.product)},
      {"analyzer", HtmlEscape(identity.analyzer)},
      {"simulated_hidden", identity.simulated ? "" : " hidden"},
  };
  // One pass over the template: a value is never searched for slots itself.
  const std::string_view page = kStationHtml;
  std::string out;
  out.reserve(page.size() + 256);
  std::size_t at = 0;
  while (at < page.size()) {
    const auto open = page.find("{{", at);
    const auto close = open == std::string_view::npos ? open : page.find("}}", open + 2);
    if (close == std::string_view::npos) break;
    out.append(page.substr(at, open - at));
    const auto slot = slots.find(page.substr(open + 2, close - open - 2));
    out.append(slot == slots.end() ? std::string(page.substr(open, close + 2 - open)) : slot->second);
    at = close + 2;
  }
  out.append(page.substr(std::min(at, page.size())));
  return out;
}

}  // namespace multitone::server
