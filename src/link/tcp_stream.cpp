#include "link/tcp_stream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include "common/run_error.h"

namespace multitone {
namespace {

[[noreturn]] void Fail(const std::string& problem) {
  throw RunError(ErrorNumber::AnalyzerOperationFailed, problem);
}

std::string ConnectionLost(int error) {
  switch (error) {
    case ECONNRESET: return "connection reset by the analyzer";
    case EPIPE: return "connection closed by the analyzer";
    default: return std::string("connection failed: ") + std::strerror(error);
  }
}

// Waits until fd is ready for `events` (> 0), the deadline passes (0) or
// poll fails (< 0, errno set).
int PollUntil(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int ready = ::poll(&p, 1, deadline.RemainingMs());
    if (ready < 0 && errno == EINTR) continue;
    return ready;
  }
}

}  // namespace

std::unique_ptr<TcpStream> TcpStream::Connect(const std::vector<ResolvedAddress>& addresses,
                                              const std::string& peer, Deadline deadline,
                                              std::chrono::milliseconds timeout) {
  std::string last_problem = "no address to connect to";
  for (const ResolvedAddress& a : addresses) {
    const int fd = ::socket(a.address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
      last_problem = std::string("cannot open a socket: ") + std::strerror(errno);
      continue;
    }
    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a.address), a.length) != 0) {
      error = errno;
      if (error == EINPROGRESS) {
        const int ready = PollUntil(fd, POLLOUT, deadline);
        if (ready == 0) {
          ::close(fd);
          Fail("no connection to " + peer + " within " + std::to_string(timeout.count()) + " ms");
        }
        socklen_t length = sizeof error;
        if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
      }
    }
    if (error == 0) {
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return std::unique_ptr<TcpStream>(new TcpStream(fd, peer, timeout));
    }
    ::close(fd);
    last_problem = error == ECONNREFUSED ? "connection refused by " + peer
                                         : "cannot connect to " + peer + ": " + std::strerror(error);
  }
  Fail(last_problem);
}

TcpStream::~TcpStream() { ::close(fd_); }

bool TcpStream::Wait(short events, Deadline deadline) {
  const int ready = PollUntil(fd_, events, deadline);
  if (ready < 0) Fail(std::string("waiting for the analyzer failed: ") + std::strerror(errno));
  return ready > 0;
}

void TcpStream::FailTimedOut(const char* doing, std::string_view note) {
  Fail(std::string(doing) + " did not complete within the " + std::to_string(timeout_.count()) +
       " ms timeout" + std::string(note));
}

void TcpStream::Send(std::string_view bytes, Deadline deadline) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!Wait(POLLOUT, deadline)) FailTimedOut("sending");
      continue;
    }
    Fail(ConnectionLost(sent < 0 ? errno : EPIPE));
  }
}

std::size_t TcpStream::Receive(std::span<char> buffer, Deadline deadline) {
  for (;;) {
    const ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (received > 0) {
      received_any_ = true;
      return static_cast<std::size_t>(received);
    }
    if (received == 0) Fail("connection closed by the analyzer");
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) Fail(ConnectionLost(errno));
    if (!Wait(POLLIN, deadline)) {
      FailTimedOut("the reply", received_any_ ? ""
                                              : "; nothing at all has come back since connecting: the "
                                                "analyzer may be busy with another client");
    }
  }
}

}  // namespace multitone
