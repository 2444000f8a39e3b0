#pragma once
// The listening TCP socket every door of analyzer-sim opens: bound to the
// first address `bind` resolves to (numeric port, 0 for a free one), with
// SO_REUSEADDR, close-on-exec.
#include <string>
#include <string_view>

namespace multitone::simserver {

struct ListeningSocket {
  int fd = -1;
  std::string address;  // as bound: "127.0.0.1:5025", "[::1]:5025"
};

// Throws std::runtime_error "cannot use address 'B': ..." or "cannot listen
// <for>on B:P: why", `for_what` naming the door ("for the GPIB controller ").
ListeningSocket ListenOn(const std::string& bind, int port, std::string_view for_what = "");

}  // namespace multitone::simserver
