#include "store/libpq_library.h"

#include <string>

#include "store/database.h"

namespace multitone {
namespace {

constexpr const char* kNames[] = {MULTITONE_LIBPQ_FUNCTIONS(MULTITONE_LIBRARY_NAME)};

LibpqFunctions Load() {
  LibpqFunctions functions{};
  if (const std::string why = LoadSharedLibrary("libpq.so.5", kNames, functions); !why.empty()) {
    throw StoreError("PostgreSQL: cannot load the client library (Debian package libpq5): " + why);
  }
  return functions;
}

}  // namespace

const LibpqFunctions& Libpq() {
  static const LibpqFunctions functions = Load();
  return functions;
}

}  // namespace multitone
