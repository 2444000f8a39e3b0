#pragma once
// The shared libraries multitone calls into (the store's SQLite and libpq,
// the VXI-11 link's libtirpc, the simulator's FFTW) are opened by file name,
// each on first use, and their functions taken by name. A program that has
// some of them linked in and must load none (the statically linked
// multitone, app/full_program.h) lists those first: then a library not in
// its list cannot be opened, with the reason.
#include <span>
#include <string>
#include <string_view>

namespace multitone {

struct LinkedFunction {
  std::string_view name;
  void* address;
};

struct LinkedLibrary {
  std::string_view file;  // as opened: "libsqlite3.so.0"
  std::span<const LinkedFunction> functions;
};

// From now on OpenSharedLibrary finds only `linked`, which must outlive every
// use. Called once, at the start of main, before any library is opened.
void UseLinkedLibrariesOnly(std::span<const LinkedLibrary> linked);

// The library named `file` (a handle for SharedLibraryFunction, never
// closed), or nullptr with the reason in `why`.
void* OpenSharedLibrary(const char* file, std::string& why);

// The function `name` of `library`, or nullptr when it has none.
void* SharedLibraryFunction(void* library, const char* name);

// Points `function` at the function `name` of `library`, with its own type;
// false (and nullptr) when the library has none.
template <typename Function>
bool TakeSharedLibraryFunction(void* library, const char* name, Function*& function) {
  function = reinterpret_cast<Function*>(SharedLibraryFunction(library, name));
  return function != nullptr;
}

}  // namespace multitone
