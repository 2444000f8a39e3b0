#pragma once
// The pieces every section of a limits file is read with: an error at a
// place in the file ("FILE:LINE:COL: what", thrown as LimitsError), and a
// value of the kind a key must hold.
#include <toml++/toml.h>

#include <string>

namespace multitone::limits_file {

[[noreturn]] void Fail(const std::string& file, const toml::source_region& where, const std::string& what);

// A finite number, whole or not.
double Number(const std::string& file, const std::string& name, const toml::node& node);
// A text in quotes.
std::string Text(const std::string& file, const std::string& name, const toml::node& node);
// A table ([name]).
const toml::table& Table(const std::string& file, const std::string& name, const toml::node& node);

}  // namespace multitone::limits_file
