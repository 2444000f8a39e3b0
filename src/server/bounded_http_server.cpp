#include "server/bounded_http_server.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace multitone::server {
namespace {

using Clock = std::chrono::steady_clock;

// The connection the request on this thread came in on.
thread_local int current_socket = -1;

// Waits for `events` on the socket until `deadline`: true when they came.
bool WaitFor(int sock, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd watched{sock, events, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

void AddressText(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
  char host[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service,
                    sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host;
    port = std::atoi(service);
  }
}

// One connection as the library reads and writes it: first the bytes
// already read (the request's headers, perhaps more), then the socket, every
// read before the request's deadline.
class ConnectionStream : public httplib::Stream {
 public:
  ConnectionStream(int sock, std::string pending, Clock::time_point deadline)
      : sock_(sock), pending_(std::move(pending)), deadline_(deadline) {}

  // What was read from the socket and not yet by the library.
  std::string Leftover() const { return pending_.substr(used_); }

  bool is_readable() const override { return used_ < pending_.size() || WaitFor(sock_, POLLIN, deadline_); }
  bool is_writable() const override {
    return WaitFor(sock_, POLLOUT, Clock::now() + BoundedHttpServer::kRequestTime);
  }

  ssize_t read(char* ptr, size_t size) override {
    if (used_ < pending_.size()) {
      const std::size_t n = std::min(size, pending_.size() - used_);
      std::memcpy(ptr, pending_.data() + used_, n);
      used_ += n;
      return static_cast<ssize_t>(n);
    }
    if (!WaitFor(sock_, POLLIN, deadline_)) return -1;
    ssize_t n;
    do {
      n = ::recv(sock_, ptr, size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    ssize_t n;
    do {
      n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      AddressText(address, length, ip, port);
    }
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      AddressText(address, length, ip, port);
    }
  }
  socket_t socket() const override { return sock_; }

 private:
  const int sock_;
  const std::string pending_;
  std::size_t used_ = 0;
  const Clock::time_point deadline_;
};

// Reads until the end of the headers ("\r\n\r\n") is among the pending
// bytes. False when the client closed, sent too much, or ran out of time.
bool ReadHeaders(int sock, std::string& pending, Clock::time_point deadline) {
  char buffer[4096];
  while (pending.find("\r\n\r\n") == std::string::npos) {
    if (pending.size() > BoundedHttpServer::kMaxHeaderBytes) return false;
    if (!WaitFor(sock, POLLIN, deadline)) return false;
    const ssize_t n = ::recv(sock, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

int BoundedHttpServer::BindOwnPort(const ListenAddress& listen, const std::string& others) {
  set_socket_options([](int socket) {
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  int port = listen.port;
  if (port == 0) {
    port = bind_to_any_port(listen.host);
  } else if (!bind_to_port(listen.host, port)) {
    port = -1;
  }
  if (port <= 0) {
    throw std::runtime_error("cannot listen on " + listen.host + ":" + std::to_string(listen.port) + " (is " +
                             others + " using it?)");
  }
  if (svr_sock_ != INVALID_SOCKET) ::listen(svr_sock_, SOMAXCONN);
  return port;
}

bool BoundedHttpServer::ServeUntilStopped() {
  serving_ = true;
  const bool served = stopping_ || listen_after_bind();
  serving_ = false;
  return served;
}

void BoundedHttpServer::StopServing() {
  stopping_ = true;
  // stop() only acts once the server runs: repeat it until it has returned.
  while (serving_) {
    stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool BoundedHttpServer::ClientStillThere() {
  if (current_socket < 0) return true;
  pollfd watched{current_socket, POLLIN | POLLRDHUP, 0};
  if (::poll(&watched, 1, 0) <= 0) return true;
  if (watched.revents & (POLLRDHUP | POLLHUP | POLLERR)) return false;
  // A client of a stream sends nothing more: anything readable is its end.
  char byte;
  return ::recv(current_socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

bool BoundedHttpServer::process_and_close_socket(socket_t sock) {
  current_socket = sock;
  std::string pending;
  bool served = false;
  for (std::size_t count = 0; count < kRequestsPerConnection && svr_sock_ != INVALID_SOCKET; ++count) {
    // The first request is timed from the connection, a later one from
    // the end of the one before.
    if (count > 0 && pending.empty() && !WaitFor(sock, POLLIN, Clock::now() + kIdleTime)) break;
    const auto deadline = Clock::now() + kRequestTime;
    if (!ReadHeaders(sock, pending, deadline)) break;
    ConnectionStream stream(sock, std::move(pending), deadline);
    bool closed = false;
    served = process_request(stream, count + 1 == kRequestsPerConnection, closed, nullptr);
    pending = stream.Leftover();
    if (!served || closed) break;
  }
  current_socket = -1;
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return served;
}

}  // namespace multitone::server
