// A program that lists the libraries linked into it opens only those: any
// other is refused with the reason, however it is installed here. Each case
// runs in a child process of its own, since the list is the process's.
#include "common/shared_library.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace multitone {
namespace {

int Answer() { return 42; }

const LinkedFunction kFunctions[] = {{"answer", reinterpret_cast<void*>(&Answer)}};
const LinkedLibrary kLinked[] = {{"libanswer.so.1", kFunctions}};

// Exits 0 when every check holds, else with the number of the first that failed.
[[noreturn]] void CheckLinkedOnly() {
  UseLinkedLibrariesOnly(kLinked);
  std::string why;
  void* linked = OpenSharedLibrary("libanswer.so.1", why);
  if (linked == nullptr) std::exit(1);
  if (SharedLibraryFunction(linked, "answer") != reinterpret_cast<void*>(&Answer)) std::exit(2);
  if (SharedLibraryFunction(linked, "question") != nullptr) std::exit(3);
  // Installed on every machine the tests run on, and still refused.
  if (OpenSharedLibrary("libc.so.6", why) != nullptr) std::exit(4);
  if (why != "multitone loads no shared library (multitone-full does)") std::exit(5);
  std::exit(0);
}

TEST(SharedLibrary, AProgramWithLinkedLibrariesOpensOnlyThose) {
  EXPECT_EXIT(CheckLinkedOnly(), ::testing::ExitedWithCode(0), "");
}

TEST(SharedLibrary, AnyOtherProgramLoadsWhatIsInstalledAndSaysWhyNot) {
  std::string why;
  void* c = OpenSharedLibrary("libc.so.6", why);
  ASSERT_NE(c, nullptr) << why;
  EXPECT_NE(SharedLibraryFunction(c, "strlen"), nullptr);
  EXPECT_EQ(OpenSharedLibrary("libnothing-here.so.9", why), nullptr);
  EXPECT_NE(why.find("libnothing-here.so.9"), std::string::npos) << why;
}

}  // namespace
}  // namespace multitone
