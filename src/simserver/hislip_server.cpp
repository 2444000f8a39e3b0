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
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "link/hislip_message.h"
#include "simserver/listen_socket.h"

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
        shared_(shared),
        changed_(std::move(changed)),
        sync_(std::move(sync)),
        overlapped_(settings.prefer_overlapped || settings.overlapped_only),
        client_max_(settings.max_message) {
    status_[1] = sim::StatusModel::kMessageAvailable;
  }

  std::uint16_t Id() const { return id_; }
  // The session as a holder of the device lock: negative, apart from the
  // VXI-11 links' numbers.
  long Holder() const { return -static_cast<long>(id_); }
  std::uint8_t PreferredMode() const {
    return settings_.prefer_overlapped || settings_.overlapped_only ? hislip::kPreferOverlapped : 0;
  }
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

  // Ends the session once: both channels shut, the lock released.
  void End() {
    if (ended_.exchange(true)) return;
    sync_->Shutdown();
    if (const std::shared_ptr<ServerChannel> async = Async()) async->Shutdown();
    ReleaseLock();
  }

  // Serves the synchronous channel until it closes or a stop is asked for:
  // each message runs here as it ends, and its replies leave at once.
  void ServeSync(int stop_fd) {
    for (;;) {
      Message m;
      if (!sync_->Next(stop_fd, m)) return;
      switch (m.type()) {
        case Type::Data:
        case Type::DataEnd: OnData(m, stop_fd); break;
        case Type::DeviceClearComplete: OnClearComplete(m); break;
        case Type::Trigger: break;  // the analyzer has no trigger to give
        default: Refuse(*sync_, m, "synchronous");
      }
    }
  }

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
          std::unique_lock<std::mutex> hold(shared_.mutex);
          const bool locked = shared_.lock_holder != 0;
          hold.unlock();
          async.Send(Type::AsyncLockInfoResponse, locked ? 1 : 0, locked ? 1 : 0);
          break;
        }
        default: Refuse(async, m, "asynchronous");
      }
    }
  }

 private:
  // ---- the synchronous channel ----

  void OnData(const Message& m, int stop_fd) {
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
    }
    if (interrupted) {
      {
        std::lock_guard<std::mutex> hold(shared_.mutex);
        shared_.analyzer.GetInterpreter().ReportError(sim::ScpiCode::QueryInterrupted,
                                                      "reply not delivered before a new message");
      }
      sync_->Send(Type::Interrupted, 0, id);
      if (const std::shared_ptr<ServerChannel> async = Async()) async->Send(Type::AsyncInterrupted, 0, id);
    }
    in_message_ = m.type() == Type::Data;
    input_.append(m.payload);
    if (in_message_) return;
    if (input_.empty() || input_.back() != '\n') input_ += '\n';
    Run(id, stop_fd);
    input_.clear();
  }

  // Runs the message in input_ (once the device lock is this session's or
  // no one's) and sends its replies, each as Data messages and a DataEND
  // within the client's size, unless a clear came meanwhile.
  void Run(std::uint32_t id, int stop_fd) {
    std::uint64_t epoch = 0;
    bool clear = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      epoch = epoch_;
      clear = std::exchange(clear_pending_, false);
      running_ = true;
    }
    std::vector<std::string> replies;
    std::uint8_t status[2];
    {
      std::unique_lock<std::mutex> hold(shared_.mutex);
      while (shared_.lock_holder != 0 && shared_.lock_holder != Holder()) {
        if (ended_ || StopRequested(stop_fd)) return;
        shared_.unlocked.wait_for(hold, std::chrono::milliseconds(100));
      }
      sim::Interpreter& interpreter = shared_.analyzer.GetInterpreter();
      // The session starts when its first message runs, so that a client
      // that waited for another's lock disturbs nothing meanwhile.
      if (!started_) interpreter.StartSession();
      started_ = true;
      if (clear) interpreter.Clear();
      interpreter.Input(input_);
      if (changed_) changed_();
      while (std::optional<std::string> reply = interpreter.TakeReply()) replies.push_back(std::move(*reply));
      LiveStatus(status);
    }
    std::size_t piece = 0;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      running_ = false;
      std::copy(std::begin(status), std::end(status), std::begin(status_));
      if (epoch != epoch_) return;  // cleared: the replies are dropped
      piece = static_cast<std::size_t>(std::min<std::uint64_t>(client_max_ - hislip::kHeaderBytes, 1 << 30));
    }
    for (const std::string& reply : replies) {
      std::string_view rest = reply;
      while (rest.size() > piece) {
        if (!sync_->Send(Type::Data, 0, id, rest.substr(0, piece))) return;
        rest.remove_prefix(piece);
      }
      if (!sync_->Send(Type::DataEnd, 0, id, rest)) return;
    }
    if (!replies.empty()) {
      std::lock_guard<std::mutex> hold(mutex_);
      unconfirmed_ = !overlapped_;
    }
  }

  void OnClearComplete(const Message& m) {
    bool overlapped = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      clearing_ = false;
      unconfirmed_ = false;
      overlapped_ = settings_.overlapped_only || (m.header.control & hislip::kPreferOverlapped) != 0;
      overlapped = overlapped_;
    }
    in_message_ = false;
    input_.clear();
    sync_->Send(Type::DeviceClearAcknowledge, overlapped ? hislip::kPreferOverlapped : 0, 0);
  }

  // ---- the asynchronous channel ----

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
    if (m.header.control == hislip::kLockRequest) {
      if (!m.payload.empty()) {  // a shared lock: not offered
        async.Send(Type::AsyncLockResponse, hislip::kLockError, 0);
        return;
      }
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m.header.parameter);
      bool granted = false;
      {
        std::unique_lock<std::mutex> hold(shared_.mutex);
        for (;;) {
          if (shared_.lock_holder == 0 || shared_.lock_holder == Holder()) {
            shared_.lock_holder = Holder();
            granted = true;
            break;
          }
          const auto now = std::chrono::steady_clock::now();
          if (now >= until || ended_ || StopRequested(stop_fd)) break;
          shared_.unlocked.wait_for(
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
    async.Send(Type::AsyncLockResponse, ReleaseLock() ? hislip::kLockGranted : hislip::kLockError, 0);
  }

  // The status byte, MAV while a reply is unconfirmed. A running message
  // holds the analyzer (an acquisition takes its time): then the byte is the
  // one the message before left.
  void OnStatusQuery(ServerChannel& async, const Message& m) {
    bool unconfirmed = false;
    std::uint8_t status[2];
    bool running = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if ((m.header.control & hislip::kRmtDelivered) != 0) unconfirmed_ = false;
      unconfirmed = unconfirmed_;
      running = running_;
      std::copy(std::begin(status_), std::end(status_), std::begin(status));
    }
    if (!running) {
      std::lock_guard<std::mutex> hold(shared_.mutex);
      LiveStatus(status);
    }
    async.Send(Type::AsyncStatusResponse, status[unconfirmed ? 1 : 0], 0);
  }

  // Drops the running message's replies and what comes before
  // DeviceClearComplete; the analyzer's input is cleared at once, or before
  // the next message when one is running. Settings, status registers, the
  // error queue and the device's clock stay.
  void OnDeviceClear(ServerChannel& async) {
    bool running = false;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      clearing_ = true;
      ++epoch_;
      running = running_;
      clear_pending_ = running;
    }
    if (!running) {
      std::lock_guard<std::mutex> hold(shared_.mutex);
      shared_.analyzer.GetInterpreter().Clear();
    }
    async.Send(Type::AsyncDeviceClearAcknowledge, PreferredMode(), 0);
  }

  // Releases the device lock if this session holds it; false when it did not.
  bool ReleaseLock() {
    {
      std::lock_guard<std::mutex> hold(shared_.mutex);
      if (shared_.lock_holder != Holder()) return false;
      shared_.lock_holder = 0;
    }
    shared_.unlocked.notify_all();
    return true;
  }

  // The status byte without and with MAV (the analyzer's mutex held).
  void LiveStatus(std::uint8_t (&status)[2]) {
    sim::Interpreter& interpreter = shared_.analyzer.GetInterpreter();
    const bool errors = interpreter.Errors().Size() > 0;
    status[0] = interpreter.Status().StatusByte(false, errors);
    status[1] = interpreter.Status().StatusByte(true, errors);
  }

  const std::uint16_t id_;
  const HislipServerSettings settings_;
  SharedAnalyzer& shared_;
  std::function<void()> changed_;
  std::shared_ptr<ServerChannel> sync_;
  std::atomic<bool> ended_{false};

  // The synchronous channel's thread only.
  std::string input_;        // the message so far
  bool in_message_ = false;  // Data came, its DataEND not yet
  bool started_ = false;     // the session's first message ran

  std::mutex mutex_;  // guards what follows
  std::shared_ptr<ServerChannel> async_;
  bool overlapped_;
  std::uint64_t client_max_;
  bool unconfirmed_ = false;     // a whole reply went out, no RMT-delivered since
  bool clearing_ = false;        // AsyncDeviceClear came, DeviceClearComplete not yet
  std::uint64_t epoch_ = 0;      // counts the clears
  bool running_ = false;         // a message is running
  bool clear_pending_ = false;   // a clear came while it ran
  std::uint8_t status_[2] = {};  // the status byte the last message left, without and with MAV
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
  AddAcceptor(stop_fd);
  for (;;) {
    pollfd stop{stop_fd, POLLIN, 0};
    if (::poll(&stop, 1, -1) > 0 || errno != EINTR) break;
  }
  stopping_ = true;
  ::shutdown(listen_fd_, SHUT_RDWR);  // ends every accept waiting
  {
    std::lock_guard<std::mutex> hold(sessions_mutex_);
    for (auto& [id, session] : sessions_) session->End();
  }
  for (;;) {
    std::thread thread;
    {
      std::lock_guard<std::mutex> hold(threads_mutex_);
      if (threads_.empty()) break;
      thread = std::move(threads_.back());
      threads_.pop_back();
    }
    thread.join();
  }
}

void HislipServer::AddAcceptor(int stop_fd) {
  std::lock_guard<std::mutex> hold(threads_mutex_);
  ++idle_;
  threads_.emplace_back([this, stop_fd] { Accept(stop_fd); });
}

void HislipServer::Accept(int stop_fd) {
  for (;;) {
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (stopping_) return;
      pollfd stop{stop_fd, POLLIN, 0};  // out of descriptors, say: not in a tight loop
      ::poll(&stop, 1, errno == EINTR || errno == ECONNABORTED ? 0 : 10);
      continue;
    }
    bool last = false;
    {
      std::lock_guard<std::mutex> hold(threads_mutex_);
      last = --idle_ == 0;
    }
    // The next connection (a client's second channel) finds a thread
    // waiting for it, none to be started first.
    if (last) AddAcceptor(stop_fd);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const timeval timeout{static_cast<time_t>(kSendTimeout.count()), 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ServeConnection(fd, stop_fd);
    std::lock_guard<std::mutex> hold(threads_mutex_);
    ++idle_;
  }
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
    session->ServeSync(stop_fd);
    EndSession(session);
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
