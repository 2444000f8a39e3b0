#pragma once
// JSON as compact text on one line. Text that is not valid UTF-8 (a serial
// typed in another encoding) is shown with replacement characters rather
// than failing the request.
#include <string>

#include <nlohmann/json.hpp>

namespace multitone::server {

inline std::string JsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace multitone::server
