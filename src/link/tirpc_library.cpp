#include "link/tirpc_library.h"

#include <string>

#include "common/run_error.h"
#include "common/shared_library.h"

namespace multitone {

// The library's handle is never closed: its functions are used until exit.
TirpcFunctions LoadTirpc(const char* file) {
  std::string why;
  void* library = OpenSharedLibrary(file, why);
  if (library == nullptr) {
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   std::string("VXI-11: cannot load the ONC RPC library ") + file +
                       " (Debian package libtirpc3): " + why);
  }
  TirpcFunctions functions{};
  const auto bind = [library, file](auto& function, const char* name) {
    if (!TakeSharedLibraryFunction(library, name, function)) {
      throw RunError(ErrorNumber::LinkCannotBeCreated,
                     std::string("VXI-11: ") + file + " has no " + name + " (Debian package libtirpc3)");
    }
  };
  bind(functions.clnt_create_timed, "clnt_create_timed");
  bind(functions.clnt_spcreateerror, "clnt_spcreateerror");
  bind(functions.clnt_sperror, "clnt_sperror");
  bind(functions.xdr_free, "xdr_free");
  bind(functions.xdr_bool, "xdr_bool");
  bind(functions.xdr_bytes, "xdr_bytes");
  bind(functions.xdr_char, "xdr_char");
  bind(functions.xdr_enum, "xdr_enum");
  bind(functions.xdr_long, "xdr_long");
  bind(functions.xdr_string, "xdr_string");
  bind(functions.xdr_u_char, "xdr_u_char");
  bind(functions.xdr_u_long, "xdr_u_long");
  bind(functions.xdr_u_short, "xdr_u_short");
  bind(functions.xdr_void, "xdr_void");
  return functions;
}

const TirpcFunctions& Tirpc() {
  static const TirpcFunctions functions = LoadTirpc("libtirpc.so.3");
  return functions;
}

}  // namespace multitone

const TirpcFunctions* multitone_tirpc(void) { return &multitone::Tirpc(); }
