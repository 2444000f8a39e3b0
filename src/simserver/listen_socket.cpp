#include "simserver/listen_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace multitone::simserver {
namespace {

std::string Describe(const sockaddr_storage& bound) {
  char host[INET6_ADDRSTRLEN] = "?";
  if (bound.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(bound);
    ::inet_ntop(AF_INET, &v4.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(v4.sin_port));
  }
  const auto& v6 = reinterpret_cast<const sockaddr_in6&>(bound);
  ::inet_ntop(AF_INET6, &v6.sin6_addr, host, sizeof host);
  return "[" + std::string(host) + "]:" + std::to_string(ntohs(v6.sin6_port));
}

}  // namespace

ListeningSocket ListenOn(const std::string& bind, int port, std::string_view for_what) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int status = ::getaddrinfo(bind.c_str(), service.c_str(), &hints, &found); status != 0) {
    throw std::runtime_error("cannot use address '" + bind + "': " + ::gai_strerror(status));
  }
  ListeningSocket listening;
  std::string problem = "no address to bind";
  for (const addrinfo* a = found; a != nullptr && listening.fd < 0; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 4) == 0) {
      listening.fd = fd;
    } else {
      problem = std::strerror(errno);
      ::close(fd);
    }
  }
  ::freeaddrinfo(found);
  if (listening.fd < 0) {
    throw std::runtime_error("cannot listen " + std::string(for_what) + "on " + bind + ":" + service + ": " + problem);
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listening.fd, reinterpret_cast<sockaddr*>(&bound), &length);
  listening.address = Describe(bound);
  return listening;
}

}  // namespace multitone::simserver
