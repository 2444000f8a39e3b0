#include "simserver/analyzer_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <ostream>

#include "common/durable_file.h"
#include "sim/screen_svg.h"

namespace multitone::simserver {
namespace {

constexpr std::size_t kReceiveChunk = 64 * 1024;

std::string Describe(const sockaddr* address) {
  char host[INET6_ADDRSTRLEN] = "?";
  int port = 0;
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    ::inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
    port = ntohs(v4->sin_port);
    return std::string(host) + ":" + std::to_string(port);
  }
  const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
  ::inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
  return "[" + std::string(host) + "]:" + std::to_string(ntohs(v6->sin6_port));
}

}  // namespace

AnalyzerServer::AnalyzerServer(const ServerOptions& options)
    : options_(options), shared_(options.device) {
  if (options.realtime) {
    shared_.analyzer.GetInstrument().SetAcquisitionWait(
        [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); });
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(options.port);
  const int status = ::getaddrinfo(options.bind.c_str(), port.c_str(), &hints, &found);
  if (status != 0) {
    throw std::runtime_error("cannot use address '" + options.bind + "': " + ::gai_strerror(status));
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
  if (listen_fd_ < 0) {
    throw std::runtime_error("cannot listen on " + options.bind + ":" + port + ": " + problem);
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&bound), &length);
  address_ = Describe(reinterpret_cast<const sockaddr*>(&bound));
}

AnalyzerServer::~AnalyzerServer() {
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void AnalyzerServer::Serve(int stop_fd, std::ostream& log) {
  {
    std::lock_guard<std::mutex> hold(shared_.mutex);
    UpdateScreen(log);
  }
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const timeval timeout{static_cast<time_t>(kSendTimeout.count()), 0};
    ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ServeClient(client, stop_fd, log);
    ::close(client);
  }
}

void AnalyzerServer::ServeClient(int client, int stop_fd, std::ostream& log) {
  sim::Interpreter& interpreter = shared_.analyzer.GetInterpreter();
  {
    std::unique_lock<std::mutex> hold(shared_.mutex);
    if (!WaitForDeviceLock(hold, stop_fd)) return;
    interpreter.StartSession();
  }
  std::string buffer(kReceiveChunk, '\0');
  for (;;) {
    pollfd fds[2] = {{client, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    const ssize_t received = ::recv(client, buffer.data(), buffer.size(), 0);
    if (received <= 0) return;  // closed, or reset
    std::vector<std::string> replies;
    {
      std::unique_lock<std::mutex> hold(shared_.mutex);
      if (!WaitForDeviceLock(hold, stop_fd)) return;
      interpreter.Input(std::string_view(buffer.data(), static_cast<std::size_t>(received)));
      UpdateScreen(log);
      while (std::optional<std::string> reply = interpreter.TakeReply()) replies.push_back(std::move(*reply));
    }
    for (const std::string& reply : replies) {
      if (!SendReply(client, reply)) {
        log << "analyzer-sim: client gone while a reply was sent (" << std::strerror(errno) << ")\n";
        return;
      }
    }
  }
}

bool AnalyzerServer::WaitForDeviceLock(std::unique_lock<std::mutex>& hold, int stop_fd) {
  while (shared_.lock_holder != 0) {
    shared_.unlocked.wait_for(hold, std::chrono::milliseconds(100));
    pollfd stop{stop_fd, POLLIN, 0};
    if (::poll(&stop, 1, 0) > 0) return false;
  }
  return true;
}

bool AnalyzerServer::SendReply(int client, const std::string& reply) {
  // One send() for the whole reply; the loop only finishes what a signal or
  // a full socket buffer interrupted.
  std::size_t sent = 0;
  while (sent < reply.size()) {
    const ssize_t n = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void AnalyzerServer::UpdateScreen(std::ostream& log) {
  if (options_.screen_svg.empty()) return;
  const sim::InstrumentState& state = shared_.analyzer.GetInstrument().State();
  if (state.display_version == screen_version_) return;
  screen_version_ = state.display_version;
  if (const std::string why = WriteFileDurably(options_.screen_svg, sim::ScreenSvg(state));
      !why.empty()) {
    log << "analyzer-sim: cannot write the screen: " << why << "\n";
  }
}

}  // namespace multitone::simserver
