#pragma once
// --analyzer replay:FILE: the run answered from a record (--record FILE)
// instead of an analyzer. The record is read each time a link is opened.
#include <memory>
#include <string>
#include <string_view>

#include "link/transport.h"

namespace multitone {

// True for "replay:..." addresses.
bool IsReplayAddress(std::string_view address);
// The record FILE of "replay:FILE"; empty for any other address.
std::string ReplayedRecord(std::string_view address);

// The transport for "replay:FILE". Throws RunError 429 when the record cannot
// be read (missing, cut short, corrupt, from a newer format) and the
// recorded error when the recorded run could not open its link.
std::unique_ptr<Transport> OpenReplayTransport(std::string_view address, bool keep_timing);

}  // namespace multitone
