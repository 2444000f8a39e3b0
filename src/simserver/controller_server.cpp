#include "simserver/controller_server.h"
#include "simserver/listen_socket.h"

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
  const ListeningSocket listening = ListenOn(bind, port, "for the GPIB controller ");
  listen_fd_ = listening.fd;
  address_ = listening.address;
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
