#pragma once
// "multitone serve": the station's front panel (src/server) for one analyzer.
namespace multitone {

// argv[0] is "multitone serve". Exit status: 0 after SIGINT or SIGTERM (the
// run in progress finished and recorded), 1 when the server cannot listen,
// 2 for a bad command line or limits file.
int ServeCommand(int argc, const char* const* argv);

}  // namespace multitone
