#pragma once
// A transport that keeps what passes through another one: each operation is
// handed on unchanged and appended to `operations` as it ends, with its time,
// its reply or block, or the RunError it failed with (which is then thrown
// on, untouched). It adds nothing to the traffic and changes no timing beyond
// a copy of what came back.
#include <chrono>
#include <memory>
#include <vector>

#include "link/transport.h"
#include "replay/link_record.h"

namespace multitone {

// Times are counted from `opened`, the moment the link was asked for.
std::unique_ptr<Transport> MakeRecordingTransport(std::unique_ptr<Transport> inner,
                                                  std::shared_ptr<std::vector<LinkOperation>> operations,
                                                  std::chrono::steady_clock::time_point opened);

}  // namespace multitone
