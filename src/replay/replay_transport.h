#pragma once
// A transport that answers a run from a record instead of an analyzer. Each
// operation must be the one recorded at its place, with the same text: then
// it gets the recorded reply or block, or fails with the recorded error.
// Anything else (another call, another text, an operation past the record's
// end) fails with RunError 440 naming the operation's number, what was
// recorded and what was sent, so a change in the run's traffic shows at once.
// In a record marked as edited (a reply changed by hand), a command that is
// not a query (no read follows it in the record) may differ: it carries the
// figures the changed reply leads to.
//
// With `keep_timing`, each operation ends no earlier than it ended in the
// recorded run, counted from the replay's start; otherwise at once.
#include <memory>
#include <string>

#include "link/transport.h"
#include "replay/link_record.h"

namespace multitone {

// Throws the recorded RunError when the recorded run could not open its link
// (the record holds one failed "open" and nothing else).
std::unique_ptr<Transport> MakeReplayTransport(std::shared_ptr<const LinkRecord> record,
                                               std::string record_name, bool keep_timing);

}  // namespace multitone
