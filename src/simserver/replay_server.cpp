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
#include "simserver/listen_socket.h"

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
  const ListeningSocket listening = ListenOn(bind, port);
  listen_fd_ = listening.fd;
  address_ = listening.address;
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
