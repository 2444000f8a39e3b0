#include "app/run_command/progress_line.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace multitone {

ProgressLine::ProgressLine(bool enabled) : active_(enabled && ::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() {
  if (active_) std::fputs("\r\033[K", stderr);
}

void ProgressLine::Show(std::size_t index, std::size_t count, std::string_view step) {
  if (!active_) return;
  const std::string line = "\r\033[K[" + std::to_string(index + 1) + "/" + std::to_string(count) +
                           "] " + std::string(step);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace multitone
