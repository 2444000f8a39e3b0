#include "support/hislip_stand_in.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace multitone::testing {

using hislip::Type;

HislipStandIn::HislipStandIn(std::optional<Fault> fault, Settings settings)
    : fault_(fault), settings_(std::move(settings)), overlapped_(settings_.prefer_overlapped || settings_.overlapped_only) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listen_fd_, 4);
  socklen_t length = sizeof address;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

HislipStandIn::~HislipStandIn() {
  stopping_ = true;
  thread_.join();
  for (const int fd : {listen_fd_, sync_fd_, async_fd_}) {
    if (fd >= 0) ::close(fd);
  }
}

std::vector<HislipStandIn::Received> HislipStandIn::Messages() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return messages_;
}

std::vector<HislipStandIn::Received> HislipStandIn::MessagesOnce(
    const std::function<bool(const std::vector<Received>&)>& ready) const {
  std::unique_lock<std::mutex> hold(mutex_);
  received_.wait_for(hold, std::chrono::seconds(10), [&] { return ready(messages_); });
  return messages_;
}

bool HislipStandIn::Send(int fd, Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload) {
  std::string bytes;
  hislip::AppendMessage(bytes, type, control, parameter, payload);
  return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

void HislipStandIn::Serve() {
  // Bounded whatever the client does: a test's session takes far less.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  hislip::MessageBuffer buffers[2];
  bool accepted_both = false;
  while (!stopping_ && std::chrono::steady_clock::now() < give_up) {
    pollfd fds[3] = {{listen_fd_, POLLIN, 0}, {sync_fd_, POLLIN, 0}, {async_fd_, POLLIN, 0}};
    if (::poll(fds, 3, 20) <= 0) continue;
    if ((fds[0].revents & POLLIN) != 0 && !accepted_both) {
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      (sync_fd_ < 0 ? sync_fd_ : async_fd_) = fd;
      accepted_both = async_fd_ >= 0;
    }
    for (int channel = 0; channel < 2; ++channel) {
      const int fd = channel == 0 ? sync_fd_ : async_fd_;
      if (fd < 0 || fds[1 + channel].revents == 0) continue;
      const std::span<char> space = buffers[channel].Space();
      const ssize_t n = ::recv(fd, space.data(), space.size(), 0);
      if (n <= 0) {  // the client closed this channel; the other may still hold a last message
        ::close(fd);
        (channel == 0 ? sync_fd_ : async_fd_) = -1;
        if (sync_fd_ < 0 && async_fd_ < 0) return;
        continue;
      }
      buffers[channel].Received(static_cast<std::size_t>(n));
      while (buffers[channel].Check(1 << 24) == hislip::MessageBuffer::State::Complete) {
        const hislip::Message m = buffers[channel].Take();
        {
          std::lock_guard<std::mutex> hold(mutex_);
          messages_.push_back({channel == 1, m.header, std::string(m.payload)});
        }
        received_.notify_all();
        if (stalled_) continue;
        if (!Answer(fd, channel == 1, m)) {
          for (const int open : {sync_fd_, async_fd_}) {
            if (open >= 0) ::shutdown(open, SHUT_RDWR);
          }
          return;
        }
      }
    }
  }
}

bool HislipStandIn::Answer(int fd, bool async, const hislip::Message& m) {
  std::optional<Act> act;
  // A fault at DataEND waits for a query's.
  const bool query = m.type() == Type::DataEnd && (!m.payload.empty() ? m.payload.back() == '?'
                                                                      : !message_.empty() && message_.back() == '?');
  if (fault_ && fault_->at == m.type() && (m.type() != Type::DataEnd || query)) {
    act = fault_->act;
    fault_.reset();
  }
  if (act == Act::Cut) return false;
  if (act == Act::Stall) {
    stalled_ = true;
    return true;
  }
  if (act == Act::Garbage) {
    stalled_ = true;  // a stream out of step is not answered further
    return ::send(fd, "XY-not-a-header.", 16, MSG_NOSIGNAL) == 16;
  }
  if (act == Act::WrongAnswer) return Send(fd, async ? Type::InitializeResponse : Type::AsyncInitializeResponse, 0, 0);
  if (act == Act::Fatal) return Send(fd, Type::FatalError, 4, 0, "too many clients");
  if (act == Act::Error) return Send(fd, Type::Error, 1, 0, "what is this");
  const std::uint8_t mode = overlapped_ ? hislip::kPreferOverlapped : 0;
  switch (m.type()) {
    case Type::Initialize: {
      const std::uint32_t version = act == Act::WrongVersion ? 0x0300 : settings_.version;
      return Send(fd, Type::InitializeResponse, mode, version << 16 | 7);
    }
    case Type::AsyncInitialize: return Send(fd, Type::AsyncInitializeResponse, 0, ('S' << 8) | 'I');
    case Type::AsyncMaximumMessageSize:
      return Send(fd, Type::AsyncMaximumMessageSizeResponse, 0, 0, hislip::SizePayload(settings_.max_message));
    case Type::AsyncLock:
      return Send(fd, Type::AsyncLockResponse,
                  m.header.control == hislip::kLockRequest && act == Act::RefuseLock ? hislip::kLockFailed
                                                                                     : hislip::kLockGranted,
                  0);
    case Type::AsyncStatusQuery: return Send(fd, Type::AsyncStatusResponse, 0, 0);
    case Type::AsyncDeviceClear: return Send(fd, Type::AsyncDeviceClearAcknowledge, mode, 0);
    case Type::DeviceClearComplete:
      overlapped_ = settings_.overlapped_only || (m.header.control & hislip::kPreferOverlapped) != 0;
      return Send(fd, Type::DeviceClearAcknowledge, overlapped_ ? hislip::kPreferOverlapped : 0, 0);
    case Type::Data: message_ += m.payload; return true;
    case Type::DataEnd: {
      message_.clear();
      if (!query || !settings_.reply) return true;
      if (act == Act::CutMidReply) {
        std::string bytes;
        hislip::AppendMessage(bytes, Type::DataEnd, 0, m.header.parameter, std::string(100, 'r'));
        ::send(fd, bytes.data(), hislip::kHeaderBytes + 50, MSG_NOSIGNAL);
        return false;
      }
      return Send(fd, Type::DataEnd, 0, m.header.parameter, *settings_.reply);
    }
    default: return true;
  }
}

}  // namespace multitone::testing
