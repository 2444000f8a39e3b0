// libtirpc loaded on the first VXI-11 link: a library that is missing, or
// is not libtirpc, is error 429 naming the Debian package to install; the
// real one gives every function VXI-11 calls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/run_error.h"
#include "link/tirpc_library.h"

namespace multitone::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

TEST(TirpcLibrary, AMissingOrWrongLibraryIsError429NamingThePackage) {
  const struct {
    const char* file;
    const char* problem;
  } cases[] = {
      {"libtirpc.so.0-not-installed", "libtirpc.so.0-not-installed"},
      {"libm.so.6", "libm.so.6 has no clnt_create_timed"},
  };
  for (const auto& c : cases) {
    try {
      LoadTirpc(c.file);
      ADD_FAILURE() << c.file << " loaded";
    } catch (const RunError& error) {
      EXPECT_EQ(error.Number(), ErrorNumber::LinkCannotBeCreated) << c.file;
      EXPECT_THAT(error.Description(), AllOf(HasSubstr("cannot load the ONC RPC library"), HasSubstr(c.problem),
                                             HasSubstr("Debian package libtirpc3")));
    }
  }
}

TEST(TirpcLibrary, TheInstalledLibraryGivesEveryFunction) {
  const TirpcFunctions& functions = Tirpc();
  const auto as_pointer = [](auto function) { return reinterpret_cast<const void*>(function); };
  const void* const all[] = {
#define MULTITONE_AS_POINTER(name) as_pointer(functions.name),
      MULTITONE_TIRPC_FUNCTIONS(MULTITONE_AS_POINTER)
#undef MULTITONE_AS_POINTER
  };
  for (const void* function : all) EXPECT_NE(function, nullptr);
  EXPECT_EQ(multitone_tirpc(), &functions);
}

}  // namespace
}  // namespace multitone::testing
