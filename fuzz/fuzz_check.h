#pragma once
// Invariant checks for the fuzz targets. A broken invariant prints where and
// what, then aborts: libFuzzer keeps the input as a crash, and the replay
// tests of the normal build fail. The detail is formed only on failure.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace multitone::fuzz {

[[noreturn]] inline void Broken(const char* file, int line, const char* condition,
                                const std::string& detail) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n  %s\n", file, line, condition, detail.c_str());
  std::abort();
}

}  // namespace multitone::fuzz

#define FUZZ_EXPECT(condition, detail)                                              \
  do {                                                                              \
    if (!(condition)) ::multitone::fuzz::Broken(__FILE__, __LINE__, #condition, (detail)); \
  } while (false)
