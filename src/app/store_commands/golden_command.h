#pragma once
// multitone golden add | status: the golden-unit station check's references
// taken from the store, and its state on a station.
namespace multitone {

int GoldenCommand(int argc, const char* const* argv);

}  // namespace multitone
