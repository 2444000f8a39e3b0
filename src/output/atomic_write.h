#pragma once
// Writes a whole file or nothing: a temporary file beside it, flushed and
// synced, then renamed into place. "-" writes to stdout.
#include <string>
#include <string_view>

namespace multitone {

// Empty on success, else the reason ("cannot create /x/y.json.tmp: No such
// file or directory").
std::string WriteFileAtomically(const std::string& path, std::string_view content);

}  // namespace multitone
