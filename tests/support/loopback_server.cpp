#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace multitone::testing {
namespace {

int ListenOnLoopback(int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(fd, 8);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

ServerConnection::~ServerConnection() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::string> ServerConnection::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return line;
    }
    if (fd_ < 0) return std::nullopt;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

bool ServerConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (fd_ < 0) return false;
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool ServerConnection::SendInPieces(std::string_view bytes, std::size_t piece) {
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  for (std::size_t i = 0; i < bytes.size(); i += piece) {
    if (!Send(bytes.substr(i, piece))) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void ServerConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void ServerConnection::Reset() {
  if (fd_ < 0) return;
  const linger hard{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  Close();
}

bool ServerConnection::WaitForClientClose(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (fd_ >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

LoopbackClient::Socket LoopbackClient::Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return {fd, ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0};
}

LoopbackClient::LoopbackClient(int port) : LoopbackClient(Connect(port)) {}

LoopbackServer::LoopbackServer(Handler handler, int connections) : handler_(std::move(handler)) {
  listen_fd_ = ListenOnLoopback(&port_);
  thread_ = std::thread([this, connections] { Serve(connections); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  thread_.join();
  ::close(listen_fd_);
}

void LoopbackServer::Serve(int connections) {
  for (int served = 0; served < connections && !stopping_;) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++served;
    ServerConnection connection(fd);
    handler_(connection);
  }
}

int UnusedPort() {
  int port = 0;
  const int fd = ListenOnLoopback(&port);
  ::close(fd);
  return port;
}

std::string BlockBytes(const std::vector<float>& values) {
  const std::string count = std::to_string(values.size() * 4);
  std::string bytes = "#" + std::to_string(count.size()) + count;
  for (const float v : values) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((bits >> (8 * i)) & 0xff);
  }
  bytes += '\n';
  return bytes;
}

}  // namespace multitone::testing
