#pragma once
// How `multitone serve` runs a server until it is told to stop: SIGINT and
// SIGTERM are blocked in every thread (so they queue for one waiter), the
// server serves on a thread of its own, and a signal shuts it down.
#include <csignal>
#include <functional>

namespace multitone {

// Blocks SIGINT and SIGTERM in this thread and every thread started from it
// from now on; the set to wait for.
sigset_t BlockStopSignals();

// Runs `serve` on a thread until one of `signals` arrives or it returns by
// itself, then `shutdown` (which must make `serve` return) and joins it.
// Exit status 0 after a signal; 1, said on stderr, when the server stopped
// serving by itself.
int ServeUntilSignalled(const sigset_t& signals, const std::function<bool()>& serve,
                        const std::function<void()>& shutdown);

}  // namespace multitone
