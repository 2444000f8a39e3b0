#include "store/libpq_library.h"

#include <string>

#include "common/shared_library.h"
#include "store/database.h"

namespace multitone {
namespace {

constexpr const char* kLibpq = "libpq.so.5";

// The library's handle is never closed: its functions are used until exit.
LibpqFunctions Load() {
  std::string why;
  void* library = OpenSharedLibrary(kLibpq, why);
  if (library == nullptr) {
    throw StoreError(std::string("PostgreSQL: cannot load the client library ") + kLibpq +
                     " (Debian package libpq5): " + why);
  }
  LibpqFunctions functions{};
  const auto bind = [library](auto& function, const char* name) {
    if (!TakeSharedLibraryFunction(library, name, function)) {
      throw StoreError(std::string("PostgreSQL: ") + kLibpq + " has no " + name);
    }
  };
  bind(functions.PQclear, "PQclear");
  bind(functions.PQconnectdbParams, "PQconnectdbParams");
  bind(functions.PQconsumeInput, "PQconsumeInput");
  bind(functions.PQerrorMessage, "PQerrorMessage");
  bind(functions.PQfinish, "PQfinish");
  bind(functions.PQflush, "PQflush");
  bind(functions.PQgetResult, "PQgetResult");
  bind(functions.PQgetisnull, "PQgetisnull");
  bind(functions.PQgetlength, "PQgetlength");
  bind(functions.PQgetvalue, "PQgetvalue");
  bind(functions.PQisBusy, "PQisBusy");
  bind(functions.PQntuples, "PQntuples");
  bind(functions.PQresultErrorMessage, "PQresultErrorMessage");
  bind(functions.PQresultStatus, "PQresultStatus");
  bind(functions.PQsendQuery, "PQsendQuery");
  bind(functions.PQsendQueryParams, "PQsendQueryParams");
  bind(functions.PQsetNoticeProcessor, "PQsetNoticeProcessor");
  bind(functions.PQsocket, "PQsocket");
  bind(functions.PQstatus, "PQstatus");
  return functions;
}

}  // namespace

const LibpqFunctions& Libpq() {
  // Loaded once, on the first call; one that throws leaves the next to try again.
  static const LibpqFunctions functions = Load();
  return functions;
}

}  // namespace multitone
