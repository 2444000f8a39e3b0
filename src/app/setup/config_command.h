#pragma once
// "multitone config check": the station file validated, and every setting a
// station would run with shown with where it came from.
namespace multitone {

// argv[0] is "multitone config". Exit status 0 when the settings are good,
// 2 when the file or a setting is not (each problem on stderr).
int ConfigCommand(int argc, const char* const* argv);

}  // namespace multitone
