#pragma once
// multitone record show FILE / record diff A B (app/record_command.cpp).
namespace multitone {

int RecordCommand(int argc, const char* const* argv);

}  // namespace multitone
