#pragma once
// The libraries linked into the multitone that loads none
// (app/full_program.h): SQLite, for a station's store and spool.
#include <span>

#include "common/shared_library.h"

namespace multitone {

std::span<const LinkedLibrary> LinkedLibraries();

}  // namespace multitone
