#pragma once
// The program's last act: standard output flushed, and every write to it and
// to standard error checked. A run whose results or error line were lost
// (a full disk, a closed pipe) must not exit 0.
namespace multitone {

// Flushes standard output. Returns `status` when every write to standard
// output and standard error went through; otherwise says why on standard
// error (as far as it still works) and returns 1, or `status` when that is
// already a failure.
int CheckOutput(int status);

}  // namespace multitone
