#include "simserver/controller_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace multitone::simserver {

ControllerServer::ControllerServer(GpibController& controller, const std::string& bind, int port)
    : controller_(controller) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int status = ::getaddrinfo(bind.c_str(), service.c_str(), &hints, &found);
  if (status != 0) throw std::runtime_error("cannot use address '" + bind + "': " + ::gai_strerror(status));
  std::string problem = "no address to bind";
  for (const addrinfo* a = found; a != nullptr && listen_fd_ < 0; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 4) == 0) {
      listen_fd_ = fd;
    } else {
      problem = std::strerror(errno);
      ::close(fd);
    }
  }
  ::freeaddrinfo(found);
  if (listen_fd_ < 0) {
    throw std::runtime_error("cannot listen for the GPIB controller on " + bind + ":" + service + ": " + problem);
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&bound), &length);
  char host[INET6_ADDRSTRLEN] = "?";
  if (bound.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(bound);
    ::inet_ntop(AF_INET, &v4.sin_addr, host, sizeof host);
    address_ = std::string(host) + ":" + std::to_string(ntohs(v4.sin_port));
  } else {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(bound);
    ::inet_ntop(AF_INET6, &v6.sin6_addr, host, sizeof host);
    address_ = "[" + std::string(host) + "]:" + std::to_string(ntohs(v6.sin6_port));
  }
}

ControllerServer::~ControllerServer() {
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void ControllerServer::Serve(int stop_fd) {
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int host = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (host < 0) continue;
    const int on = 1;
    ::setsockopt(host, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const timeval timeout{static_cast<time_t>(kSendTimeout.count()), 0};
    ::setsockopt(host, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ServeHost(host, stop_fd);
    ::close(host);
  }
}

void ControllerServer::ServeHost(int host, int stop_fd) {
  controller_.StartSession();
  std::string buffer(64 * 1024, '\0');
  for (;;) {
    pollfd fds[2] = {{host, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    const ssize_t received = ::recv(host, buffer.data(), buffer.size(), 0);
    if (received <= 0) return;  // closed, or reset
    const std::string out = controller_.Input(std::string_view(buffer.data(), static_cast<std::size_t>(received)));
    std::size_t sent = 0;
    while (sent < out.size()) {
      const ssize_t n = ::send(host, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;  // gone, or not reading
      sent += static_cast<std::size_t>(n);
    }
  }
}

}  // namespace multitone::simserver
