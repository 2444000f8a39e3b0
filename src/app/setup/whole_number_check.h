#pragma once
// A command-line value that must be a whole number within a range: "abc" and
// "1.5" are "not a whole number of UNIT", "0" is "not between LOW and HIGH".
#include <CLI/CLI.hpp>
#include <string>

namespace multitone {

CLI::Validator WholeNumberCheck(long long low, long long high, const std::string& unit);

}  // namespace multitone
