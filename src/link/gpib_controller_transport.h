#pragma once
// The transport to an analyzer on GPIB behind a controller of the "++"
// command family: on the LAN (prologix://HOST[:1234]/ADDR, TCP) or on USB,
// where it appears as a serial port (ASRL/dev/PATH::INSTR?gpib=ADDR).
//  - Initialize opens the stream and sets the controller up: "++mode 1"
//    (controller), "++auto 0" (the instrument talks only when asked),
//    "++eoi 1" (EOI with the last byte of every message), "++eos 3" (no
//    terminator appended: EOI ends the message), "++addr ADDR [SAD]",
//    "++read_tmo_ms N" (the controller's wait for each byte, at most 3000),
//    "++clr" (device clear: a reply left from an earlier client is dropped),
//    then asks "++ver" and keeps the answer for --trace. It sends no SCPI
//    command.
//  - Write sends the text with CR, LF, ESC and "+" escaped by an ESC (so the
//    controller passes them on, and no text can pass for a "++" command),
//    ended by one LF, which the controller removes.
//  - Read sends "++read eoi" and reads the instrument's reply up to its LF,
//    as over a socket (link/reply_reader.h).
//  - ReadBlock sends the query, then "++read eoi", and reads the block by
//    its byte count: data bytes that are LF are data.
//  - Close closes the stream and sends nothing.
// Each operation as a whole must complete within `timeout`. An address with
// no instrument behind it answers nothing: the first reply times out.
#include <chrono>
#include <memory>
#include <string>

#include "link/analyzer_address.h"
#include "link/stream_transport.h"
#include "link/transport.h"

namespace multitone {

std::unique_ptr<Transport> OpenGpibControllerTransport(StreamConnector connect, GpibAddress gpib,
                                                       std::chrono::milliseconds timeout);

// The controller's highest read timeout, ms.
constexpr int kControllerReadTimeoutMs = 3000;

}  // namespace multitone
