#pragma once
// The transport to an analyzer on a raw TCP socket at HOST:PORT. The
// connection is opened by Initialize.
#include <chrono>
#include <memory>
#include <string>

#include "link/stream_transport.h"
#include "link/transport.h"

namespace multitone {

// `host` is a name or an address (an IPv6 one without brackets). Throws
// RunError 429 when the host cannot be resolved.
std::unique_ptr<Transport> OpenTcpTransport(const std::string& host, int port, std::chrono::milliseconds timeout);

// What opens the TCP connection to HOST:PORT, for a transport that speaks
// over it. Throws RunError 429 when the host cannot be resolved.
StreamConnector TcpConnector(const std::string& host, int port, std::chrono::milliseconds timeout);

}  // namespace multitone
