#include "store/libpq_library.h"

#include <dlfcn.h>

#include <type_traits>
#include <string>

#include "store/database.h"

namespace multitone {
namespace {

constexpr const char* kLibpq = "libpq.so.5";

// The library's handle is never closed: its functions are used until exit.
LibpqFunctions Load() {
  void* library = ::dlopen(kLibpq, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = ::dlerror();
    throw StoreError(std::string("PostgreSQL: cannot load the client library ") + kLibpq +
                     " (Debian package libpq5): " + (why ? why : "not found"));
  }
  LibpqFunctions functions{};
  const auto bind = [library](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(library, name));
    if (function == nullptr) {
      throw StoreError(std::string("PostgreSQL: ") + kLibpq + " has no " + name);
    }
  };
  bind(functions.connectdb_params, "PQconnectdbParams");
  bind(functions.status, "PQstatus");
  bind(functions.error_message, "PQerrorMessage");
  bind(functions.finish, "PQfinish");
  bind(functions.set_notice_processor, "PQsetNoticeProcessor");
  bind(functions.exec, "PQexec");
  bind(functions.exec_params, "PQexecParams");
  bind(functions.result_status, "PQresultStatus");
  bind(functions.ntuples, "PQntuples");
  bind(functions.getisnull, "PQgetisnull");
  bind(functions.getvalue, "PQgetvalue");
  bind(functions.getlength, "PQgetlength");
  bind(functions.clear, "PQclear");
  return functions;
}

}  // namespace

const LibpqFunctions& Libpq() {
  // Loaded once, on the first call; one that throws leaves the next to try again.
  static const LibpqFunctions functions = Load();
  return functions;
}

}  // namespace multitone
