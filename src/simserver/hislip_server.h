#pragma once
// The simulated analyzer over HiSLIP (IVI-6.1, version 2.0; a 1.x client is
// answered in its version): sub-address hislip0 (any hislipN, or none) on
// the --bind address and port 4880 or the one given. Clients are served at
// once, each session with its synchronous and asynchronous channel on
// threads of their own, all with the one analyzer behind every door. The
// state rules are VXI-11's (simserver/vxi11_device.h) where HiSLIP has the
// same thing to say.
//  - Initialize is answered with the lower of the two versions, a new
//    session id and the mode the server prefers (synchronized, unless told
//    otherwise); AsyncInitialize with that id joins the asynchronous
//    channel. Anything else first, an unknown session or sub-address, or a
//    header that does not start with "HS" is a FatalError, and the session
//    ends. A session ends when either of its channels closes, releasing its
//    lock.
//  - Data and DataEND make a message (an LF is added when it has none); it
//    runs on the synchronous channel's thread as its DataEND comes, and each
//    reply leaves at once as Data messages and a DataEND, each within the
//    client's maximum message size (header included), with the message's
//    MessageID. The session starts (the device's clock over) when its first
//    message runs. A message over the server's own size gets Error 4.
//  - Synchronized mode: a message without RMT-delivered while a reply went
//    unconfirmed queues -410 and sends Interrupted and AsyncInterrupted.
//    Overlapped mode: replies need no confirmation.
//  - AsyncLock takes the exclusive lock, waiting for it up to the time the
//    client gives, or releases it; while another client (of any door) holds
//    it, this session's messages wait. Shared locks are refused (error).
//  - AsyncDeviceClear drops the running message's replies and every message
//    until DeviceClearComplete, which agrees on the mode (the one asked for,
//    unless the server is overlapped only). AsyncStatusQuery gives the
//    status byte, MAV while a reply is unconfirmed. Neither waits for a
//    running message (an acquisition with --realtime).
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simserver/shared_analyzer.h"

namespace multitone::simserver {

struct HislipServerSettings {
  std::string bind = "127.0.0.1";
  int port = 4880;                      // 0: a free one
  std::uint64_t max_message = 1 << 20;  // the largest message (header included) it takes
  bool prefer_overlapped = false;       // what InitializeResponse says
  bool overlapped_only = false;         // keeps overlapped mode whatever a clear asks for
};

class HislipSession;

class HislipServer {
 public:
  static constexpr std::size_t kMaxSessions = 16;

  // Binds and listens; throws std::runtime_error with a message when the
  // address cannot be used. `changed` is called (with the analyzer's mutex
  // held) after each message.
  HislipServer(SharedAnalyzer& shared, std::function<void()> changed, const HislipServerSettings& settings);
  ~HislipServer();
  HislipServer(const HislipServer&) = delete;
  HislipServer& operator=(const HislipServer&) = delete;

  // "127.0.0.1:4880", the address bound.
  const std::string& Address() const { return address_; }

  // Serves clients until `stop_fd` becomes readable (on a thread of its
  // own); every session has ended when it returns.
  void Serve(int stop_fd);

 private:
  // Threads that wait for a connection and serve it, then wait again: one
  // more is started whenever the last waiting one takes a connection, so a
  // client's second channel finds one there. A thread serves session after
  // session, with its memory already at hand.
  void AddAcceptor(int stop_fd);
  void Accept(int stop_fd);
  void ServeConnection(int fd, int stop_fd);
  std::shared_ptr<HislipSession> FindSession(std::uint16_t id);
  void EndSession(const std::shared_ptr<HislipSession>& session);

  SharedAnalyzer& shared_;
  std::function<void()> changed_;
  HislipServerSettings settings_;
  int listen_fd_ = -1;
  std::string address_;

  std::mutex sessions_mutex_;
  std::map<std::uint16_t, std::shared_ptr<HislipSession>> sessions_;
  std::uint16_t next_session_ = 1;
  std::atomic<bool> stopping_{false};
  std::mutex threads_mutex_;
  std::vector<std::thread> threads_;  // guarded by threads_mutex_
  int idle_ = 0;                      // threads waiting for a connection
};

}  // namespace multitone::simserver
