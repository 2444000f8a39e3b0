// A library loaded on first use gives every function of its list, or says
// why not: the library is missing, or lacks one of the functions.
#include "common/shared_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace multitone {
namespace {

#define MULTITONE_MATH_FUNCTIONS(F) F(cos) F(sqrt)
struct MathFunctions {
  double (*cos)(double);
  double (*sqrt)(double);
};
constexpr const char* kMathNames[] = {MULTITONE_MATH_FUNCTIONS(MULTITONE_LIBRARY_NAME)};

TEST(SharedLibrary, EveryFunctionOfTheListOrWhyNot) {
  MathFunctions math{};
  ASSERT_EQ(LoadSharedLibrary("libm.so.6", kMathNames, math), "");
  EXPECT_EQ(math.sqrt(2.25), 1.5);
  EXPECT_EQ(math.cos(0.0), 1.0);

  const char* const wrong[] = {"cos", "no_such_function"};
  void* addresses[2] = {};
  EXPECT_EQ(LoadSharedLibraryFunctions("libm.so.6", wrong, addresses), "libm.so.6 has no no_such_function");

  const std::string missing = LoadSharedLibrary("libnothing-here.so.9", kMathNames, math);
  EXPECT_NE(missing.find("libnothing-here.so.9"), std::string::npos) << missing;
  EXPECT_EQ(math.sqrt(4.0), 2.0) << "a failed load leaves the table as it was";
}

}  // namespace
}  // namespace multitone
