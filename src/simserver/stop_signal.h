#pragma once
// SIGINT and SIGTERM as an event a poll() loop can wait for: the handler
// writes one byte into a pipe whose reading end the loop watches.
namespace multitone::simserver {

// Installs the handlers (once). Returns the descriptor that becomes readable
// when a stop was asked for.
int InstallStopSignal();

// True once SIGINT or SIGTERM has arrived.
bool StopRequested();

}  // namespace multitone::simserver
