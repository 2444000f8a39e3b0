#pragma once
// A Transport over a ByteStream: the analyzer's wire protocol.
//  - Initialize connects (through `connect`) and sends nothing.
//  - Write sends the text and one LF, in one piece.
//  - Read returns the bytes up to the first LF, without it; nothing else is
//    trimmed; bytes after the LF are kept for the next read. A reply over
//    1 MiB without an LF is a failure.
//  - ReadBlock sends the query and one LF and reads an IEEE 488.2
//    definite-length block ("#", a digit n of 1-9, n digits of byte count,
//    the bytes, one LF) of little-endian 32-bit floats. A malformed or
//    indefinite header, bytes before the "#", a count not a multiple of 4 or
//    over 16 MiB, a missing final LF or a value that is not finite is a
//    failure.
//  - Close drops the connection and sends nothing.
// Each operation as a whole must complete within `timeout`.
#include <chrono>
#include <functional>
#include <memory>

#include "link/byte_stream.h"
#include "link/transport.h"

namespace multitone {

using StreamConnector = std::function<std::unique_ptr<ByteStream>(Deadline)>;

// `terminator` takes the LF's place both ways (a serial line set to CR).
std::unique_ptr<Transport> MakeStreamTransport(StreamConnector connect, std::chrono::milliseconds timeout,
                                               char terminator = '\n');

}  // namespace multitone
