#pragma once
// Runs a program as a child process and collects its exit status and output,
// killing it if it runs past a time limit.
#include <chrono>
#include <string>
#include <vector>

namespace multitone::testing {

struct ProgramResult {
  int exit_code = -1;   // -1 when killed or not started
  bool timed_out = false;
  std::string out;
  std::string err;
};

ProgramResult RunProgram(const std::vector<std::string>& argv,
                         std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace multitone::testing
