#pragma once
// Where the station server listens: "HOST:PORT", "[v6]:PORT", or ":PORT"
// (loopback). Only loopback may listen without a token.
#include <optional>
#include <string>
#include <string_view>

namespace multitone::server {

struct ListenAddress {
  std::string host = "127.0.0.1";  // without brackets
  int port = 8080;                 // 0: any free port
};

// Empty when the text is not HOST:PORT with a port 0..65535.
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

// True for 127.0.0.0/8, ::1 and "localhost": only this machine can connect.
bool IsLoopbackHost(std::string_view host);

}  // namespace multitone::server
