#pragma once
// Commands that are programs of their own, run the way git runs its
// subcommands, so that a plain run never loads what only they need (the
// station page's HTTP library): "multitone serve ARGS" executes
// "multitone-serve ARGS". The program is looked for
//   1. beside the running multitone (a build tree, or one bin folder), then
//   2. in MULTITONE_LIBEXEC_DIR, the installed layout (e.g.
//      /usr/libexec/multitone/multitone-serve).
#include <string>
#include <string_view>

namespace multitone {

// The helper's path, or "" when it is in neither place.
std::string FindHelperProgram(std::string_view name);

// Replaces this process with the helper, handing it argv[1..] (argv[0] is
// "serve", or multitone's own path when multitone-full is handed a whole
// command line). Returns only when the helper cannot be run: 1, with the reason
// on stderr.
int RunHelperProgram(std::string_view name, int argc, const char* const* argv);

}  // namespace multitone
