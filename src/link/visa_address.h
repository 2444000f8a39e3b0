#pragma once
// VISA resource strings for an analyzer on the network, case-insensitive as
// VISA reads them:
//   TCPIP[board]::HOST::PORT::SOCKET       the raw socket (as tcp://HOST:PORT)
//   TCPIP[board]::HOST[::inst0][::INSTR]   VXI-11, device inst0
//   TCPIP[board]::HOST::instN::INSTR       VXI-11, device instN
// HOST is a host name, an IPv4 address or an IPv6 address in brackets.
#include <string>
#include <string_view>

namespace multitone {

struct VisaAddress {
  enum class Kind { Socket, Vxi11 };
  Kind kind = Kind::Vxi11;
  std::string host;
  int port = 0;          // Socket only
  std::string device;    // Vxi11 only: "inst0", ...
};

// True when `address` starts with "TCPIP" in any case: it is meant as a VISA
// resource string.
bool LooksLikeVisaAddress(std::string_view address);

// Throws RunError 429, naming the forms expected, when `address` is not one
// of the forms above.
VisaAddress ParseVisaAddress(std::string_view address);

}  // namespace multitone
