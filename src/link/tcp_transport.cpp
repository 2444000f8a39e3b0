#include "link/tcp_transport.h"

#include <charconv>
#include <cstring>
#include <netdb.h>

#include "common/run_error.h"
#include "link/stream_transport.h"
#include "link/tcp_stream.h"

namespace multitone {
namespace {

[[noreturn]] void CannotCreate(const std::string& problem) {
  throw RunError(ErrorNumber::LinkCannotBeCreated, problem);
}

struct HostPort {
  std::string host;
  int port = kDefaultAnalyzerPort;
};

HostPort ParseAddress(std::string_view address) {
  constexpr std::string_view kScheme = "tcp://";
  const std::string shown(address);
  if (address.substr(0, kScheme.size()) != kScheme) {
    CannotCreate("analyzer address '" + shown + "' does not start with tcp://");
  }
  std::string_view rest = address.substr(kScheme.size());
  HostPort out;
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {  // [IPv6]:port
    const auto close = rest.find(']');
    if (close == std::string_view::npos) CannotCreate("analyzer address '" + shown + "' lacks ']'");
    out.host = std::string(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') CannotCreate("analyzer address '" + shown + "' is malformed");
      port = rest.substr(1);
      if (port.empty()) CannotCreate("analyzer address '" + shown + "' has an empty port");
    }
  } else {
    const auto colon = rest.find(':');
    out.host = std::string(rest.substr(0, colon));
    if (colon != std::string_view::npos && rest.find(':', colon + 1) != std::string_view::npos) {
      CannotCreate("analyzer address '" + shown + "' is malformed (an IPv6 host goes in brackets: "
                   "tcp://[::1]:5025)");
    }
    if (colon != std::string_view::npos) {
      port = rest.substr(colon + 1);
      if (port.empty()) CannotCreate("analyzer address '" + shown + "' has an empty port");
    }
  }
  if (out.host.empty()) CannotCreate("analyzer address '" + shown + "' names no host");
  if (out.host.find_first_of("/?#@ ") != std::string::npos) {
    CannotCreate("analyzer address '" + shown + "' is malformed");
  }
  if (!port.empty()) {
    int value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535) {
      CannotCreate("analyzer address '" + shown + "' has an invalid port '" + std::string(port) + "'");
    }
    out.port = value;
  }
  return out;
}

std::vector<ResolvedAddress> Resolve(const HostPort& where) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(where.port);
  const int status = ::getaddrinfo(where.host.c_str(), port.c_str(), &hints, &found);
  if (status != 0) {
    CannotCreate("cannot resolve analyzer host '" + where.host + "': " + ::gai_strerror(status));
  }
  std::vector<ResolvedAddress> addresses;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    ResolvedAddress r;
    std::memcpy(&r.address, a->ai_addr, a->ai_addrlen);
    r.length = a->ai_addrlen;
    addresses.push_back(r);
  }
  ::freeaddrinfo(found);
  return addresses;
}

}  // namespace

std::unique_ptr<Transport> OpenTcpTransport(std::string_view address,
                                            std::chrono::milliseconds timeout) {
  const HostPort where = ParseAddress(address);
  return OpenTcpTransportTo(where.host, where.port, timeout);
}

std::unique_ptr<Transport> OpenTcpTransportTo(const std::string& host, int port,
                                              std::chrono::milliseconds timeout) {
  const HostPort where{host, port};
  const std::vector<ResolvedAddress> addresses = Resolve(where);
  const std::string peer = (where.host.find(':') != std::string::npos ? "[" + where.host + "]" : where.host) +
                           ":" + std::to_string(where.port);
  return MakeStreamTransport(
      [addresses, peer, timeout](Deadline deadline) -> std::unique_ptr<ByteStream> {
        return TcpStream::Connect(addresses, peer, deadline, timeout);
      },
      timeout);
}

}  // namespace multitone
