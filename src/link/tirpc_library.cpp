#include "link/tirpc_library.h"

#include <string>

#include "common/run_error.h"

namespace multitone {
namespace {

constexpr const char* kNames[] = {MULTITONE_TIRPC_FUNCTIONS(MULTITONE_LIBRARY_NAME)};

}  // namespace

TirpcFunctions LoadTirpc(const char* file) {
  TirpcFunctions functions{};
  if (const std::string why = LoadSharedLibrary(file, kNames, functions); !why.empty()) {
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   "VXI-11: cannot load the ONC RPC library (Debian package libtirpc3): " + why);
  }
  return functions;
}

const TirpcFunctions& Tirpc() {
  static const TirpcFunctions functions = LoadTirpc("libtirpc.so.3");
  return functions;
}

}  // namespace multitone

const TirpcFunctions* multitone_tirpc(void) { return &multitone::Tirpc(); }
