#pragma once
// Every file the programs write for a user (result files, reports, the
// simulated analyzer's screen) goes through here, so that a reader sees the
// old file or the whole new one, and a failed write is always reported:
// - a regular file (or a new one) is replaced atomically: a temporary file in
//   the same folder, written and synced, renamed over the path, and the
//   folder synced so the rename itself survives a power cut;
// - a symbolic link is followed: its target is replaced, the link stays (a
//   chain of links that goes round is an error: ELOOP);
// - anything else (a character device, a FIFO, /dev/stdout) is written
//   straight through, never replaced, and every short or failed write
//   (ENOSPC, EFBIG, EPIPE) is an error;
// - "-" is standard output.
// Errors are texts: empty on success, else one line that names the path and
// the cause ("cannot create /x/.y.json.tmp-1234: No such file or directory").
#include <string>
#include <string_view>

namespace multitone {

std::string WriteFileDurably(const std::string& path, std::string_view content);

// True when WriteFileDurably(path, ...) writes straight through ("-", a
// device, a FIFO): what it wrote cannot be taken back or written again.
bool WritesThrough(const std::string& path);

// Why WriteFileDurably(path, ...) cannot succeed, checked before anything is
// measured and without leaving a file behind: an empty path, a folder, a
// folder that does not exist or cannot be written, a file that exists and
// cannot be written. Empty when nothing stands in the way.
std::string WhyFileCannotBeWritten(const std::string& path);

// The file WriteFileDurably(path, ...) replaces, as one name: a symbolic
// link followed and the folder named by its device and inode (whatever links,
// "." or ".." lead to it), so that two names of one file give the same text;
// the path as it is when its folder is not there. Empty for "-", a device or
// a FIFO: what is written there goes through and replaces nothing.
std::string ReplacedFile(const std::string& path);

}  // namespace multitone
