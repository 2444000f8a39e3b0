#include "simserver/serial_server.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace multitone::simserver {
namespace {

constexpr std::size_t kReceiveChunk = 64 * 1024;
constexpr int kHangUpPollMs = 20;  // how often a hung-up line is looked at again

void MakeRaw(int fd, const std::string& path) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) throw std::runtime_error(path + " is not a terminal: " + std::strerror(errno));
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    throw std::runtime_error("cannot set up " + path + ": " + std::strerror(errno));
  }
}

short Events(int fd) {
  pollfd p{fd, POLLIN, 0};
  ::poll(&p, 1, 0);
  return p.revents;
}

}  // namespace

LineExchange AnalyzerExchange(SharedAnalyzer& shared, char terminator, std::function<void()> changed) {
  return [&shared, terminator, changed](std::string_view bytes, bool new_session) {
    std::string input(bytes);
    if (terminator != '\n') {
      for (char& c : input) c = c == terminator ? '\n' : c;
    }
    std::string out;
    std::lock_guard<std::mutex> hold(shared.mutex);
    sim::Interpreter& interpreter = shared.analyzer.GetInterpreter();
    if (new_session) interpreter.StartSession();
    interpreter.Input(input);
    if (changed) changed();
    while (std::optional<std::string> reply = interpreter.TakeReply()) {
      if (!reply->empty() && reply->back() == '\n') reply->back() = terminator;
      out += *reply;
    }
    return out;
  };
}

SerialServer::SerialServer(const std::string& device, LineExchange exchange) : exchange_(std::move(exchange)) {
  if (device.empty()) {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0 || ::ptsname(fd_) == nullptr) {
      throw std::runtime_error(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
    }
    own_pair_ = true;
    path_ = ::ptsname(fd_);
    // The client's side starts raw, so nothing is translated even before a
    // client sets its own mode (the setting stays with the pair).
    const int client_side = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (client_side < 0) throw std::runtime_error("cannot open " + path_ + ": " + std::strerror(errno));
    try {
      MakeRaw(client_side, path_);
    } catch (...) {
      ::close(client_side);
      throw;
    }
    ::close(client_side);
  } else {
    path_ = device;
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + device + ": " + std::strerror(errno));
    MakeRaw(fd_, device);
  }
}

SerialServer::~SerialServer() {
  if (fd_ >= 0) ::close(fd_);
}

void SerialServer::Serve(int stop_fd) {
  bool new_session = true;
  std::string buffer(kReceiveChunk, '\0');
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0 && (fds[0].revents & POLLHUP) != 0) {
      // Nobody has the line open: wait for the next client, then start over.
      new_session = true;
      do {
        pollfd stop{stop_fd, POLLIN, 0};
        if (::poll(&stop, 1, kHangUpPollMs) > 0) return;
      } while ((Events(fd_) & POLLHUP) != 0);
      continue;
    }
    const ssize_t received = ::read(fd_, buffer.data(), buffer.size());
    if (received <= 0) continue;  // EAGAIN, or EIO as the last client leaves
    const std::string out =
        exchange_(std::string_view(buffer.data(), static_cast<std::size_t>(received)), new_session);
    new_session = false;
    if (!out.empty()) Send(out);
  }
}

bool SerialServer::Send(const std::string& bytes) {
  const auto deadline = std::chrono::steady_clock::now() + kSendTimeout;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(left.count()));
  }
  return true;
}

}  // namespace multitone::simserver
