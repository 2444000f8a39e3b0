#pragma once
// The subcommands that watch the line from the results store: control-chart
// alarms and the gauge R&R study.
namespace multitone {

int AlarmsCommand(int argc, const char* const* argv);
int StudyCommand(int argc, const char* const* argv);

}  // namespace multitone
