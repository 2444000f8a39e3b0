#pragma once
// The few shared libraries that only some runs need, and that bring much
// with them, are loaded on first use instead of when the program starts:
// libpq (a PostgreSQL store; with Kerberos, LDAP, SASL and TLS behind it)
// and libtirpc (VXI-11; with Kerberos behind it). Each is described by one
// list of the functions it is called through (an X-macro in its header),
// which makes both its table of function pointers and the names this loader
// takes them by. Every other library is linked the ordinary way.
#ifdef __cplusplus
#include <cstddef>
#include <cstring>
#include <span>
#include <string>

namespace multitone {

// Opens `file` (the handle is never closed: its functions are used until
// exit) and sets addresses[i] to its function names[i]. Returns "" on
// success, else why not (the library is missing, or has no such function);
// the caller names the Debian package in its own error.
// REQUIRES: names.size() == addresses.size().
std::string LoadSharedLibraryFunctions(const char* file, std::span<const char* const> names,
                                       std::span<void*> addresses);

// The same into `table`, a struct of function pointers made from the list by
// MULTITONE_LIBRARY_MEMBER, with `names` made from it by
// MULTITONE_LIBRARY_NAME: member i is function names[i]. On failure the
// table is left as it was.
template <typename Table, std::size_t N>
std::string LoadSharedLibrary(const char* file, const char* const (&names)[N], Table& table) {
  static_assert(sizeof(Table) == N * sizeof(void*), "one name for each member of the table");
  void* addresses[N];
  std::string why = LoadSharedLibraryFunctions(file, names, addresses);
  // dlsym's addresses are the functions' own pointers (POSIX).
  if (why.empty()) std::memcpy(&table, addresses, sizeof table);
  return why;
}

}  // namespace multitone
#endif

// The table of a library's functions from its list: one member per function,
// with the function's own type, under its own name.
#ifdef __cplusplus
#define MULTITONE_LIBRARY_MEMBER(name) decltype(&::name) name;
#else
#define MULTITONE_LIBRARY_MEMBER(name) __typeof__(&name) name;
#endif
// The names of the same functions, in the same order, as strings.
#define MULTITONE_LIBRARY_NAME(name) #name,
