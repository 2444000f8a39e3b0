#include "common/shared_library.h"

#include <dlfcn.h>

namespace multitone {
namespace {

// Set once before any library is opened; read only afterwards.
std::span<const LinkedLibrary> linked_only;
bool linked_libraries_only = false;

}  // namespace

void UseLinkedLibrariesOnly(std::span<const LinkedLibrary> linked) {
  linked_only = linked;
  linked_libraries_only = true;
}

void* OpenSharedLibrary(const char* file, std::string& why) {
  if (linked_libraries_only) {
    for (const LinkedLibrary& linked : linked_only) {
      if (linked.file == file) return const_cast<LinkedLibrary*>(&linked);
    }
    why = "multitone loads no shared library (multitone-full does)";
    return nullptr;
  }
  void* library = ::dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = ::dlerror();
    why = error != nullptr ? error : "not found";
  }
  return library;
}

void* SharedLibraryFunction(void* library, const char* name) {
  if (linked_libraries_only) {
    // Every handle here is one OpenSharedLibrary gave: a linked library.
    for (const LinkedFunction& function : static_cast<const LinkedLibrary*>(library)->functions) {
      if (function.name == name) return function.address;
    }
    return nullptr;
  }
  return ::dlsym(library, name);
}

}  // namespace multitone
