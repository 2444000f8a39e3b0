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
#include "simserver/listen_socket.h"

namespace multitone::simserver {
namespace {

constexpr std::size_t kReceiveChunk = 64 * 1024;

}  // namespace

AnalyzerServer::AnalyzerServer(const ServerOptions& options)
    : options_(options), shared_(options.device) {
  if (options.realtime) {
    shared_.analyzer.GetInstrument().SetAcquisitionWait(
        [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); });
  }
  if (!options.socket) return;
  const ListeningSocket listening = ListenOn(options.bind, options.port);
  listen_fd_ = listening.fd;
  address_ = listening.address;
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
    // Without a socket (fd -1, which poll passes over) this only waits for the stop.
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
