#pragma once
// A record for people: one line per operation, as --trace shows a run
// ("> text" sent, "< reply" received, "< block of N values"), with the time
// of each operation and its error.
#include <string>

#include "replay/link_record.h"

namespace multitone {

// "  12.345 ms  > SENS:UNIT?"; a block query is two lines, its query and
// its block; an error adds "  ! error 440: ...".
std::string TranscriptOf(const LinkOperation& operation);

// The header's facts, then every operation.
std::string TranscriptOf(const LinkRecord& record);

}  // namespace multitone
