#pragma once
// The transport to an analyzer at "tcp://HOST[:PORT]" (port 5025 when none is
// given; an IPv6 host in brackets). The connection is opened by Initialize.
#include <chrono>
#include <memory>
#include <string_view>

#include "link/transport.h"

namespace multitone {

constexpr int kDefaultAnalyzerPort = 5025;

// Throws RunError 429 when the address is malformed or its host cannot be
// resolved.
std::unique_ptr<Transport> OpenTcpTransport(std::string_view address,
                                            std::chrono::milliseconds timeout);

}  // namespace multitone
