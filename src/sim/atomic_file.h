#pragma once
// Replaces a file's content as one step: the text goes to PATH.tmp, which is
// then renamed over PATH, so a reader sees the old file or the new one, never
// half of it. Returns false (and leaves PATH alone) when writing fails.
#include <string>
#include <string_view>

namespace multitone::sim {

bool WriteFileAtomically(const std::string& path, std::string_view content);

}  // namespace multitone::sim
