#pragma once
// JSON as text (indent -1: one line). Text that is not valid UTF-8 (a name or
// a path typed in another encoding) is shown with replacement characters
// rather than failing: every JSON document the programs write goes through
// here.
#include <string>

#include <nlohmann/json.hpp>

namespace multitone {

inline std::string JsonText(const nlohmann::json& value, int indent = -1) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace multitone
