#pragma once
// Replaces a file's content as one step: the text goes to PATH.tmp, which is
// then renamed over PATH, so a reader sees the old file or the new one, never
// half of it.
#include <string>
#include <string_view>

namespace multitone::sim {

// Returns an empty text when written; otherwise why not ("PATH.tmp: No space
// left on device"), and PATH is left alone.
std::string WriteFileAtomically(const std::string& path, std::string_view content);

// Why WriteFileAtomically(path, ...) cannot succeed, checked before there is
// anything to write and without leaving a file behind: an empty path, a
// directory, a folder that does not exist or cannot be written. Empty when
// nothing stands in the way.
std::string WhyFileCannotBeWritten(const std::string& path);

}  // namespace multitone::sim
