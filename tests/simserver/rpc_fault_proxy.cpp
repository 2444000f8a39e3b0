#include "simserver/rpc_fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace multitone::testing {
namespace {

constexpr int kPollMs = 100;

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The length of the first whole RPC record in `bytes` (record marking: each
// fragment a 4-byte header, the top bit set on the last), or 0.
std::size_t WholeRecord(const std::string& bytes) {
  std::size_t at = 0;
  while (at + 4 <= bytes.size()) {
    const auto* h = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    const std::uint32_t header = std::uint32_t{h[0]} << 24 | std::uint32_t{h[1]} << 16 |
                                 std::uint32_t{h[2]} << 8 | h[3];
    const std::size_t end = at + 4 + (header & 0x7fffffffu);
    if (end > bytes.size()) return 0;
    if ((header & 0x80000000u) != 0) return end;
    at = end;
  }
  return 0;
}

}  // namespace

RpcFaultProxy::RpcFaultProxy(int server_port, std::size_t calls_passed, Fault fault)
    : server_port_(server_port), limit_(calls_passed), fault_(fault) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_fd_, 1) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

RpcFaultProxy::~RpcFaultProxy() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void RpcFaultProxy::Serve() {
  int client = -1;
  while (!stopping_ && client < 0) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, kPollMs) > 0) client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }
  if (client < 0) return;
  const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(server_port_));
  if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) Relay(client, server);
  ::close(server);
  ::close(client);
}

void RpcFaultProxy::Relay(int client, int server) {
  std::string calls;  // bytes from the client not yet passed on
  bool stalled = false;
  char buffer[64 * 1024];
  while (!stopping_) {
    pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    if (::poll(fds, 2, kPollMs) <= 0) continue;
    if (fds[1].revents != 0) {
      const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
      if (n <= 0 || !SendAll(client, buffer, static_cast<std::size_t>(n))) return;
    }
    if (fds[0].revents == 0) continue;
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    if (stalled) continue;  // swallowed
    calls.append(buffer, static_cast<std::size_t>(n));
    while (const std::size_t record = WholeRecord(calls)) {
      if (passed_ == limit_) {
        if (fault_ == Fault::Cut) return;
        stalled = true;
        break;
      }
      if (!SendAll(server, calls.data(), record)) return;
      calls.erase(0, record);
      ++passed_;
    }
  }
}

}  // namespace multitone::testing
