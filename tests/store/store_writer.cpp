// A station process for the store's tests: stores COUNT made-up runs one
// after another the way the program stores a run (kept locally, then
// forwarded), run ids PREFIX-0, PREFIX-1, ...
//   store_writer URL SPOOL PREFIX COUNT
#include <iostream>
#include <random>
#include <string>

#include "store/run_storage.h"
#include "support/synthetic_runs.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: store_writer URL SPOOL PREFIX COUNT\n";
    return 2;
  }
  const multitone::RunStorage storage{argv[1], argv[2]};
  const std::string prefix = argv[3];
  const int count = std::stoi(argv[4]);
  std::mt19937_64 random(std::hash<std::string>{}(prefix));
  for (int i = 0; i < count; ++i) {
    const auto run = multitone::testing::SyntheticRun(prefix + "-" + std::to_string(i),
                                                      prefix + "-unit", i, random, prefix);
    if (const std::string error = multitone::KeepRun(storage, run); !error.empty()) {
      std::cerr << "store_writer: " << error << '\n';
      return 1;
    }
    if (const auto report = multitone::ForwardSpool(storage); !report.error.empty()) {
      std::cerr << "store_writer: kept locally only: " << report.error << '\n';
    }
  }
  return 0;
}
