#pragma once
// The transport to an analyzer over HiSLIP (IVI-6.1, versions 1.x and 2.0),
// the protocol of TCPIP::HOST::hislipN[,PORT]::INSTR addresses: two TCP
// connections to one port (4880), the synchronous channel for the command
// texts and replies and the asynchronous one for the session's control.
//  - Initialize opens the synchronous channel (Initialize: version and
//    sub-address; the server answers with the version both speak, the
//    session and the mode it prefers), then the asynchronous one
//    (AsyncInitialize with the session), exchanges the largest message each
//    side takes (AsyncMaximumMessageSize) and takes the exclusive lock
//    (AsyncLock), waiting for it at most three quarters of what is left of
//    the timeout; the three requests leave together. A server that prefers
//    overlapped mode is switched to synchronized mode through the
//    device-clear handshake (one that stays overlapped is read by message
//    id). It sends no command.
//  - Write sends the text exactly as given, no LF added, as DataEND, or as
//    Data messages and a last DataEND when it does not fit one message of
//    the server's size; each message has the next MessageID and leaves in
//    one send; the first after a whole reply carries RMT-delivered.
//  - Read gathers Data messages until DataEND; the reply is the message
//    without its final LF, by the rules of link/text_message.h.
//  - ReadBlock writes the query as Write does and decodes the whole reply as
//    one block (link/block_decoder.h).
//  - Close closes both connections and sends nothing: the session ends, and
//    the server releases its lock.
// Each operation as a whole must complete within `timeout`. One that runs
// out of time asks the analyzer for its status byte (AsyncStatusQuery) and
// clears it (AsyncDeviceClear, DeviceClearComplete), within the timeout
// again, so that nothing of the failed exchange reaches a later one. Every
// failure is RunError 440 saying what was seen: the analyzer's Error and
// FatalError messages with their code and text, a malformed header, an
// unexpected message, a version that is neither 1.x nor 2.x.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "link/transport.h"

namespace multitone {

// The largest message the link takes from the analyzer by default: a
// spectrum block of the largest size, its header and a HiSLIP header.
constexpr std::uint64_t kHislipMaxMessage = (std::uint64_t{16} << 20) + 1024;

struct HislipSettings {
  std::string host;
  int port = 4880;
  std::string sub_address = "hislip0";  // as the address gives it
  std::chrono::milliseconds timeout{20000};
  std::ostream* trace = nullptr;                  // each HiSLIP message, when given
  std::uint64_t max_message = kHislipMaxMessage;  // announced to the analyzer
};

// Throws RunError 429 when the host cannot be resolved.
std::unique_ptr<Transport> OpenHislipTransport(const HislipSettings& settings);

}  // namespace multitone
