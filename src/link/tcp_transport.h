#pragma once
// The transport to an analyzer at "tcp://HOST[:PORT]" (port 5025 when none is
// given; an IPv6 host in brackets). The connection is opened by Initialize.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "link/analyzer_address.h"
#include "link/stream_transport.h"
#include "link/transport.h"

namespace multitone {

// Throws RunError 429 when the address is not a well-formed tcp:// address
// (link/analyzer_address.h) or its host cannot be resolved.
std::unique_ptr<Transport> OpenTcpTransport(std::string_view address,
                                            std::chrono::milliseconds timeout);

// The same transport to a host and port already taken apart (a VISA
// TCPIP::HOST::PORT::SOCKET address). Throws RunError 429 when the host
// cannot be resolved.
std::unique_ptr<Transport> OpenTcpTransportTo(const std::string& host, int port,
                                              std::chrono::milliseconds timeout);

// What opens the TCP connection to HOST:PORT, for a transport that speaks
// over it. Throws RunError 429 when the host cannot be resolved.
StreamConnector TcpConnector(const std::string& host, int port, std::chrono::milliseconds timeout);

}  // namespace multitone
