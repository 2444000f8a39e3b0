#pragma once
// The transport to an analyzer over VXI-11 (ONC RPC, core channel), the
// protocol of TCPIP::HOST[::instN]::INSTR addresses.
//  - Initialize asks the host's port mapper for the core channel, connects
//    and creates a link to the device (create_link); it sends no command.
//  - Write sends the text exactly as given, no LF added, in device_write
//    pieces of at most the link's maxRecvSize; the last carries END.
//  - Read repeats device_read until a piece carries END; the reply is the
//    message without its final LF. A message that starts as a binary block,
//    holds a second line, or runs over 1 MiB is a failure.
//  - ReadBlock sends the query as Write does and decodes the whole message
//    as one block (link/block_decoder.h), followed by at most one LF.
//  - Close destroys the link (destroy_link) and the connection.
// Each operation as a whole must complete within `timeout`: it is every
// call's RPC timeout and io_timeout, counted down over the operation. Every
// failure is RunError 440 saying what was seen.
#include <chrono>
#include <memory>
#include <string>

#include "link/transport.h"

namespace multitone {

// Throws RunError 429 when `host` cannot be resolved or libtirpc cannot be
// loaded (link/tirpc_library.h).
std::unique_ptr<Transport> OpenVxi11Transport(const std::string& host, const std::string& device,
                                              std::chrono::milliseconds timeout);

}  // namespace multitone
