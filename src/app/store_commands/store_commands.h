#pragma once
// The subcommands that read and forward the results store.
namespace multitone {

int SyncCommand(int argc, const char* const* argv);
int HistoryCommand(int argc, const char* const* argv);
int StatsCommand(int argc, const char* const* argv);
int LimitsCommand(int argc, const char* const* argv);

}  // namespace multitone
