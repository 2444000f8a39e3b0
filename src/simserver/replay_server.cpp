#include "simserver/replay_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <stdexcept>

#include "simserver/record_answerer.h"

namespace multitone::simserver {
namespace {

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

ReplayServer::ReplayServer(const std::string& bind, int port, std::shared_ptr<const LinkRecord> record)
    : record_(std::move(record)) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int status = ::getaddrinfo(bind.c_str(), service.c_str(), &hints, &found); status != 0) {
    throw std::runtime_error("cannot use address '" + bind + "': " + ::gai_strerror(status));
  }
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
  if (listen_fd_ < 0) throw std::runtime_error("cannot listen on " + bind + ":" + service + ": " + problem);
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&bound), &length);
  char host[INET6_ADDRSTRLEN] = "?";
  if (bound.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&bound);
    ::inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
    address_ = std::string(host) + ":" + std::to_string(ntohs(v4->sin_port));
  } else {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&bound);
    ::inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
    address_ = "[" + std::string(host) + "]:" + std::to_string(ntohs(v6->sin6_port));
  }
}

ReplayServer::~ReplayServer() {
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void ReplayServer::Serve(int stop_fd, std::ostream& log) {
  RecordAnswerer answerer(record_);
  std::string buffer(64 * 1024, '\0');
  for (;;) {
    pollfd waiting[2] = {{listen_fd_, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (::poll(waiting, 2, -1) < 0 && errno != EINTR) return;
    if (waiting[1].revents != 0) return;
    if ((waiting[0].revents & POLLIN) == 0) continue;
    const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const timeval send_timeout{10, 0};  // a client that stops reading is dropped
    ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof send_timeout);
    answerer.StartSession();
    for (bool open = true; open;) {
      pollfd fds[2] = {{client, POLLIN, 0}, {stop_fd, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[1].revents != 0) {
        ::close(client);
        return;
      }
      const ssize_t received = ::recv(client, buffer.data(), buffer.size(), 0);
      if (received <= 0) break;  // the client closed (or reset) the connection
      const RecordAnswerer::Answer answer =
          answerer.Input(std::string_view(buffer.data(), static_cast<std::size_t>(received)));
      if (!answer.reply.empty() && !SendAll(client, answer.reply)) {
        log << "analyzer-sim: client gone while a reply was sent (" << std::strerror(errno) << ")\n";
        open = false;
      }
      if (answer.end) {
        log << "analyzer-sim: replay: " << answer.why << "; connection closed\n";
        open = false;
      }
    }
    ::close(client);
  }
}

}  // namespace multitone::simserver
