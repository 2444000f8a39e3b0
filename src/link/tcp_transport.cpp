#include "link/tcp_transport.h"

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
  int port = 0;
};

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

StreamConnector TcpConnector(const std::string& host, int port, std::chrono::milliseconds timeout) {
  const HostPort where{host, port};
  const std::vector<ResolvedAddress> addresses = Resolve(where);
  const std::string peer = (where.host.find(':') != std::string::npos ? "[" + where.host + "]" : where.host) +
                           ":" + std::to_string(where.port);
  return [addresses, peer, timeout](Deadline deadline) -> std::unique_ptr<ByteStream> {
    return TcpStream::Connect(addresses, peer, deadline, timeout);
  };
}

std::unique_ptr<Transport> OpenTcpTransport(const std::string& host, int port, std::chrono::milliseconds timeout) {
  return MakeStreamTransport(TcpConnector(host, port, timeout), timeout);
}

}  // namespace multitone
