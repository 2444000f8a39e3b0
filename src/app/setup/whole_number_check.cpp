#include "app/setup/whole_number_check.h"

#include <charconv>

namespace multitone {

CLI::Validator WholeNumberCheck(long long low, long long high, const std::string& unit) {
  return CLI::Validator(
      [low, high, unit](std::string& text) -> std::string {
        long long value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || stop != end || error == std::errc::invalid_argument) {
          return "'" + text + "' is not a whole number of " + unit;
        }
        if (error == std::errc::result_out_of_range || value < low || value > high) {
          return text + " is not between " + std::to_string(low) + " and " + std::to_string(high) + " " + unit;
        }
        return "";
      },
      "", "whole number");
}

}  // namespace multitone
