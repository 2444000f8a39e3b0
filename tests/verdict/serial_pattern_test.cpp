// The serial pattern: whole serials only, refused patterns say why, and a
// pattern that makes a backtracking matcher take exponential time is matched
// at once.
#include <gtest/gtest.h>

#include "verdict/serial_pattern.h"

namespace multitone {
namespace {

TEST(SerialPattern, MatchesWholeSerialsOnly) {
  const std::string nested(5000, 'a');
  const struct {
    const char* pattern;
    std::string serial;
    bool matches;
  } cases[] = {
      {R"(^PB2\d{7}$)", "PB20000001", true},
      {R"(PB2\d{7})", "PB20000001", true},     // anchors implied
      {R"(PB2\d{7})", "xPB20000001", false},   // not the whole serial
      {R"(PB2\d{7})", "PB200000012", false},
      {R"([A-Z]{2}-\d+)", "PB-7", true},
      {"^(a+)+$", nested, true},
      {"^(a+)+$", nested + "b", false},        // catastrophic for a backtracking matcher
      {"(a|aa)*c", nested, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesPattern(c.serial, c.pattern), c.matches) << c.pattern << " on " << c.serial.substr(0, 20);
  }
}

TEST(SerialPattern, RefusesWhatItCannotMatchAndSaysWhy) {
  for (const char* pattern : {R"(^PB2(\d{7}$)", R"((a)\1)", R"(PB(?=2))", "[z-a]"}) {
    const auto problem = PatternProblem(pattern);
    ASSERT_TRUE(problem) << pattern;
    EXPECT_FALSE(problem->empty()) << pattern;
    EXPECT_FALSE(MatchesPattern("PB2", pattern)) << pattern;
  }
  EXPECT_FALSE(PatternProblem(R"(^PB2\d{7}$)"));
}

}  // namespace
}  // namespace multitone
