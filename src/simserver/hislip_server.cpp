#include "simserver/hislip_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>

#include "link/hislip_message.h"
#include "simserver/listen_socket.h"
#include "simserver/message_exchange.h"

namespace multitone::simserver {
namespace {

using hislip::Message;
using hislip::Type;

constexpr std::uint32_t kVendorId = ('A' << 8) | 'S';
constexpr std::chrono::seconds kSendTimeout{10};
// The most a message may claim before the session is given up: one over the
// server's size is read whole and answered with an Error.
constexpr std::uint64_t kReceiveLimit = std::uint64_t{64} << 20;

bool StopRequested(int stop_fd) {
  pollfd stop{stop_fd, POLLIN, 0};
  return ::poll(&stop, 1, 0) > 0;
}

bool IsSubAddress(std::string_view name) {
  if (name.empty()) return true;
  if (name.size() < 7) return false;
  std::string prefix(name.substr(0, 6));
  for (char& c : prefix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return prefix == "hislip" && name.substr(6).find_first_not_of("0123456789") == std::string_view::npos;
}

// One TCP connection of a session: whole messages in and out, one message
// at a time each way.
class ServerChannel {
 public:
  explicit ServerChannel(int fd) : fd_(fd) {}
  ~ServerChannel() { ::close(fd_); }
  ServerChannel(const ServerChannel&) = delete;
  ServerChannel& operator=(const ServerChannel&) = delete;

  // Sends one message in one piece; false when the client has gone.
  bool Send(Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {}) {
    std::lock_guard<std::mutex> hold(send_mutex_);
    return SendHeld(type, control, parameter, payload);
  }
  // The same, for a caller that holds SendMutex().
  bool SendHeld(Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {}) {
    outgoing_.clear();
    hislip::AppendMessage(outgoing_, type, control, parameter, payload);
    std::size_t sent = 0;
    while (sent < outgoing_.size()) {
      const ssize_t n = ::send(fd_, outgoing_.data() + sent, outgoing_.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }
  std::mutex& SendMutex() { return send_mutex_; }

  // The next whole message; false when the client went, a stop was asked
  // for, or a header was malformed (answered with FatalError: the session
  // ends).
  bool Next(int stop_fd, Message& message) {
    for (;;) {
      switch (received_.Check(kReceiveLimit)) {
        case hislip::MessageBuffer::State::Complete: message = received_.Take(); return true;
        case hislip::MessageBuffer::State::Malformed:
        case hislip::MessageBuffer::State::TooLarge:
          Send(Type::FatalError, static_cast<std::uint8_t>(hislip::FatalCode::PoorlyFormedHeader), 0,
               "poorly formed message header");
          return false;
        case hislip::MessageBuffer::State::Incomplete: break;
      }
      pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_fd, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (fds[1].revents != 0) return false;
      const std::span<char> space = received_.Space();
      const ssize_t n = ::recv(fd_, space.data(), space.size(), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      received_.Received(static_cast<std::size_t>(n));
    }
  }

  // Wakes whoever waits on the connection; the descriptor closes with the
  // channel.
  void Shutdown() { ::shutdown(fd_, SHUT_RDWR); }

 private:
  int fd_;
  std::mutex send_mutex_;
  std::string outgoing_;  // guarded by send_mutex_
  hislip::MessageBuffer received_;
};

// Answers a message the channel does not serve with Error.
void Refuse(ServerChannel& channel, const Message& m, std::string_view which) {
  const bool vendor = m.header.type >= hislip::kFirstVendorType;
  const auto code = vendor                                   ? hislip::ErrorCode::UnrecognizedVendorMessage
                    : m.header.type > hislip::kLastKnownType ? hislip::ErrorCode::UnrecognizedMessageType
                                                             : hislip::ErrorCode::Unidentified;
  channel.Send(Type::Error, static_cast<std::uint8_t>(code), 0,
               hislip::TypeName(m.header.type) + " is not served on the " + std::string(which) + " channel");
}

}  // namespace

class HislipSession {
 public:
  HislipSession(std::uint16_t id, std::shared_ptr<ServerChannel> sync, SharedAnalyzer& shared,
                std::function<void()> changed, const HislipServerSettings& settings)
      : id_(id),
        settings_(settings),
        sync_(std::move(sync)),
        exchange_(shared, std::move(changed),
                  ExchangeRules{settings.prefer_overlapped || settings.overlapped_only, Holder(), true}),
        overlapped_(settings.prefer_overlapped || settings.overlapped_only),
        client_max_(settings.max_message) {}

  std::uint16_t Id() const { return id_; }
  // The session as a holder of the device lock: negative, apart from the
  // VXI-11 links' numbers.
  long Holder() const { return -static_cast<long>(id_); }
  ServerChannel& Sync() { return *sync_; }
  std::shared_ptr<ServerChannel> Async() {
    std::lock_guard<std::mutex> hold(mutex_);
    return async_;
  }
  // False when the session already has its asynchronous channel.
  bool JoinAsync(std::shared_ptr<ServerChannel> channel) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (async_) return false;
    async_ = std::move(channel);
    return true;
  }

  void StartSender() {
    sender_ = std::thread([this] { SendReplies(); });
  }

  // Ends the session once: both channels shut, the exchange closed, the
  // lock released.
  void End() {
    if (ended_.exchange(true)) return;
    sync_->Shutdown();
    if (const std::shared_ptr<ServerChannel> async = Async()) async->Shutdown();
    exchange_.Close();
    SharedAnalyzer& shared = exchange_.Shared();
    bool released = false;
    {
      std::lock_guard<std::mutex> hold(shared.mutex);
      if (shared.lock_holder == Holder()) {
        shared.lock_holder = 0;
        released = true;
      }
    }
    if (released) shared.unlocked.notify_all();
  }
  void JoinSender() {
    if (sender_.joinable()) sender_.join();
  }

  // ---- the synchronous channel ----

  // Serves the synchronous channel until it closes or a stop is asked for.
  void ServeSync(int stop_fd) {
    ServerChannel& sync = *sync_;
    for (;;) {
      Message m;
      if (!sync.Next(stop_fd, m)) return;
      switch (m.type()) {
        case Type::Data:
        case Type::DataEnd: OnData(m); break;
        case Type::DeviceClearComplete: OnClearComplete(m); break;
        case Type::Trigger: break;  // the analyzer has no trigger to give
        default: Refuse(sync, m, "synchronous");
      }
    }
  }

  void OnData(const Message& m) {
    const std::uint32_t id = m.header.parameter;
    if (m.payload.size() > settings_.max_message) {
      sync_->Send(Type::Error, static_cast<std::uint8_t>(hislip::ErrorCode::MessageTooLarge), 0,
                  "message of " + std::to_string(m.payload.size()) + " bytes over the " +
                      std::to_string(settings_.max_message) + "-byte maximum");
      return;
    }
    bool interrupted = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (clearing_) return;  // between AsyncDeviceClear and DeviceClearComplete
      if (!in_message_) {
        if ((m.header.control & hislip::kRmtDelivered) != 0) {
          unconfirmed_ = false;
        } else if (unconfirmed_ && !overlapped_) {
          interrupted = true;
          unconfirmed_ = false;
        }
      }
      in_message_ = m.type() == Type::Data;
    }
    if (interrupted) exchange_.Report(sim::ScpiCode::QueryInterrupted, "reply not delivered before a new message");
    const bool dropped = exchange_.Write(m.payload, m.type() == Type::DataEnd, id);
    if (interrupted || dropped) {
      sync_->Send(Type::Interrupted, 0, id);
      if (const std::shared_ptr<ServerChannel> async = Async()) async->Send(Type::AsyncInterrupted, 0, id);
    }
  }

  void OnClearComplete(const Message& m) {
    std::lock_guard<std::mutex> sending(sync_->SendMutex());
    exchange_.Clear();
    bool overlapped = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      clearing_ = false;
      in_message_ = false;
      unconfirmed_ = false;
      overlapped_ = settings_.overlapped_only || (m.header.control & hislip::kPreferOverlapped) != 0;
      overlapped = overlapped_;
    }
    exchange_.KeepReplies(overlapped);
    sync_->SendHeld(Type::DeviceClearAcknowledge, overlapped ? hislip::kPreferOverlapped : 0, 0);
  }

  // ---- the asynchronous channel ----

  // Serves the asynchronous channel until it closes or a stop is asked for.
  void ServeAsync(ServerChannel& async, int stop_fd) {
    for (;;) {
      Message m;
      if (!async.Next(stop_fd, m)) return;
      switch (m.type()) {
        case Type::AsyncMaximumMessageSize: OnMaximumMessageSize(async, m); break;
        case Type::AsyncLock: OnLock(async, m, stop_fd); break;
        case Type::AsyncStatusQuery: OnStatusQuery(async, m); break;
        case Type::AsyncDeviceClear: OnDeviceClear(async); break;
        case Type::AsyncRemoteLocalControl: async.Send(Type::AsyncRemoteLocalResponse, 0, 0); break;
        case Type::AsyncLockInfo: {
          SharedAnalyzer& shared = exchange_.Shared();
          std::lock_guard<std::mutex> hold(shared.mutex);
          const bool locked = shared.lock_holder != 0;
          async.Send(Type::AsyncLockInfoResponse, locked ? 1 : 0, locked ? 1 : 0);
          break;
        }
        default: Refuse(async, m, "asynchronous");
      }
    }
  }

  void OnMaximumMessageSize(ServerChannel& async, const Message& m) {
    const std::optional<std::uint64_t> size = hislip::SizeOfPayload(m.payload);
    if (!size) {
      async.Send(Type::Error, static_cast<std::uint8_t>(hislip::ErrorCode::Unidentified), 0,
                 "AsyncMaximumMessageSize without its 8-byte size");
      return;
    }
    {
      std::lock_guard<std::mutex> hold(mutex_);
      client_max_ = std::max<std::uint64_t>(*size, hislip::kHeaderBytes + 1);
    }
    async.Send(Type::AsyncMaximumMessageSizeResponse, 0, 0, hislip::SizePayload(settings_.max_message));
  }

  void OnLock(ServerChannel& async, const Message& m, int stop_fd) {
    SharedAnalyzer& shared = exchange_.Shared();
    if (m.header.control == hislip::kLockRequest) {
      if (!m.payload.empty()) {  // a shared lock: not offered
        async.Send(Type::AsyncLockResponse, hislip::kLockError, 0);
        return;
      }
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m.header.parameter);
      bool granted = false;
      {
        std::unique_lock<std::mutex> hold(shared.mutex);
        for (;;) {
          if (shared.lock_holder == 0 || shared.lock_holder == Holder()) {
            shared.lock_holder = Holder();
            granted = true;
            break;
          }
          const auto now = std::chrono::steady_clock::now();
          if (now >= until || ended_ || StopRequested(stop_fd)) break;
          shared.unlocked.wait_for(
              hold, std::min<std::chrono::steady_clock::duration>(until - now, std::chrono::milliseconds(100)));
        }
      }
      async.Send(Type::AsyncLockResponse, granted ? hislip::kLockGranted : hislip::kLockFailed, 0);
      return;
    }
    if (m.header.control != 0) {
      async.Send(Type::Error, static_cast<std::uint8_t>(hislip::ErrorCode::UnrecognizedControlCode), 0,
                 "AsyncLock control code " + std::to_string(m.header.control));
      return;
    }
    bool released = false;
    {
      std::lock_guard<std::mutex> hold(shared.mutex);
      if (shared.lock_holder == Holder()) {
        shared.lock_holder = 0;
        released = true;
      }
    }
    if (released) shared.unlocked.notify_all();
    async.Send(Type::AsyncLockResponse, released ? hislip::kLockGranted : hislip::kLockError, 0);
  }

  void OnStatusQuery(ServerChannel& async, const Message& m) {
    bool unconfirmed = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if ((m.header.control & hislip::kRmtDelivered) != 0) unconfirmed_ = false;
      unconfirmed = unconfirmed_;
    }
    async.Send(Type::AsyncStatusResponse, exchange_.StatusByte(unconfirmed), 0);
  }

  void OnDeviceClear(ServerChannel& async) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      clearing_ = true;
    }
    exchange_.Clear();
    async.Send(Type::AsyncDeviceClearAcknowledge, PreferredMode(), 0);
  }

  std::uint8_t PreferredMode() const {
    return settings_.prefer_overlapped || settings_.overlapped_only ? hislip::kPreferOverlapped : 0;
  }

 private:
  // Sends each reply as it comes: Data messages and a DataEND, each within
  // the client's maximum, unless a clear came since the piece was taken.
  void SendReplies() {
    for (;;) {
      std::size_t max_payload = 0;
      {
        std::lock_guard<std::mutex> hold(mutex_);
        max_payload = static_cast<std::size_t>(std::min<std::uint64_t>(client_max_ - hislip::kHeaderBytes, 1 << 30));
      }
      MessageExchange::Piece piece;
      const MessageExchange::ReadResult result =
          exchange_.Read(max_payload, -1, std::chrono::seconds(10), false, piece);
      if (result == MessageExchange::ReadResult::Closed) return;
      if (result != MessageExchange::ReadResult::Piece) continue;
      std::lock_guard<std::mutex> sending(sync_->SendMutex());
      if (piece.epoch != exchange_.Epoch()) continue;
      if (!sync_->SendHeld(piece.end ? Type::DataEnd : Type::Data, 0, piece.tag, piece.bytes)) return;
      if (piece.end) {
        std::lock_guard<std::mutex> hold(mutex_);
        unconfirmed_ = !overlapped_;
      }
    }
  }

  const std::uint16_t id_;
  const HislipServerSettings settings_;
  std::shared_ptr<ServerChannel> sync_;
  MessageExchange exchange_;
  std::atomic<bool> ended_{false};
  std::thread sender_;

  std::mutex mutex_;  // guards what follows
  std::shared_ptr<ServerChannel> async_;
  bool overlapped_;
  std::uint64_t client_max_;
  bool unconfirmed_ = false;  // a whole reply went out, no RMT-delivered since
  bool in_message_ = false;   // Data came, its DataEND not yet
  bool clearing_ = false;     // AsyncDeviceClear came, DeviceClearComplete not yet
};

HislipServer::HislipServer(SharedAnalyzer& shared, std::function<void()> changed, const HislipServerSettings& settings)
    : shared_(shared), changed_(std::move(changed)), settings_(settings) {
  const ListeningSocket listening = ListenOn(settings.bind, settings.port, "for HiSLIP ");
  listen_fd_ = listening.fd;
  address_ = listening.address;
}

HislipServer::~HislipServer() {
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void HislipServer::Serve(int stop_fd) {
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (fds[1].revents != 0) break;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const timeval timeout{static_cast<time_t>(kSendTimeout.count()), 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    // Connections that ended leave their threads to be joined here.
    std::erase_if(connections_, [](Connection& c) {
      if (!*c.done) return false;
      c.thread.join();
      return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    connections_.push_back({std::thread([this, fd, stop_fd, done] {
                              ServeConnection(fd, stop_fd);
                              *done = true;
                            }),
                            done});
  }
  {
    std::lock_guard<std::mutex> hold(sessions_mutex_);
    for (auto& [id, session] : sessions_) session->End();
  }
  for (Connection& c : connections_) c.thread.join();
  connections_.clear();
}

std::shared_ptr<HislipSession> HislipServer::FindSession(std::uint16_t id) {
  std::lock_guard<std::mutex> hold(sessions_mutex_);
  const auto found = sessions_.find(id);
  return found == sessions_.end() ? nullptr : found->second;
}

void HislipServer::EndSession(const std::shared_ptr<HislipSession>& session) {
  session->End();
  std::lock_guard<std::mutex> hold(sessions_mutex_);
  sessions_.erase(session->Id());
}

void HislipServer::ServeConnection(int fd, int stop_fd) {
  auto channel = std::make_shared<ServerChannel>(fd);
  const auto fatal = [&channel](hislip::FatalCode code, const std::string& text) {
    channel->Send(Type::FatalError, static_cast<std::uint8_t>(code), 0, text);
  };
  Message m;
  if (!channel->Next(stop_fd, m)) return;
  if (m.type() == Type::Initialize) {
    if (!IsSubAddress(m.payload)) {
      fatal(hislip::FatalCode::Unidentified, "no device '" + std::string(m.payload) + "' here; hislip0 is");
      return;
    }
    std::shared_ptr<HislipSession> session;
    {
      std::lock_guard<std::mutex> hold(sessions_mutex_);
      if (sessions_.size() >= kMaxSessions) {
        fatal(hislip::FatalCode::TooManyClients, "maximum number of clients exceeded");
        return;
      }
      while (next_session_ == 0 || sessions_.count(next_session_) > 0) ++next_session_;
      session = std::make_shared<HislipSession>(next_session_++, channel, shared_, changed_, settings_);
      sessions_[session->Id()] = session;
    }
    const auto offered = static_cast<std::uint16_t>(m.header.parameter >> 16);
    const std::uint16_t version = std::min(offered, hislip::kVersion);
    channel->Send(Type::InitializeResponse, session->PreferredMode(), std::uint32_t{version} << 16 | session->Id());
    session->StartSender();
    session->ServeSync(stop_fd);
    EndSession(session);
    session->JoinSender();
    return;
  }
  if (m.type() == Type::AsyncInitialize) {
    const std::shared_ptr<HislipSession> session = FindSession(static_cast<std::uint16_t>(m.header.parameter & 0xffff));
    if (!session || !session->JoinAsync(channel)) {
      fatal(hislip::FatalCode::InvalidInitialization, "AsyncInitialize names no session waiting for its channel");
      return;
    }
    channel->Send(Type::AsyncInitializeResponse, 0, kVendorId);
    session->ServeAsync(*channel, stop_fd);
    EndSession(session);
    return;
  }
  fatal(hislip::FatalCode::InvalidInitialization, hislip::TypeName(m.header.type) + " before Initialize");
}

}  // namespace multitone::simserver
