#include "common/shared_library.h"

#include <dlfcn.h>

namespace multitone {

std::string LoadSharedLibraryFunctions(const char* file, std::span<const char* const> names,
                                       std::span<void*> addresses) {
  void* library = ::dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = ::dlerror();
    return error != nullptr ? error : std::string(file) + ": not found";
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    addresses[i] = ::dlsym(library, names[i]);
    if (addresses[i] == nullptr) return std::string(file) + " has no " + names[i];
  }
  return "";
}

}  // namespace multitone
