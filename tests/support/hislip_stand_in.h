#pragma once
// A stand-in HiSLIP server on 127.0.0.1 and a free port, for tests that play
// the analyzer's side message by message: it opens one session as a server
// does, answers every query with a fixed reply, and at the message a test
// names it misbehaves instead of answering. Every wait is bounded; it stops
// by itself when it goes out of scope.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/hislip_message.h"

namespace multitone::testing {

class HislipStandIn {
 public:
  enum class Act {
    Cut,           // closes both connections
    Stall,         // answers nothing more, ever
    Garbage,       // sends 16 bytes that do not start with "HS", then answers nothing more
    WrongVersion,  // InitializeResponse with version 3.0
    WrongAnswer,   // answers with a message of another type
    Fatal,         // FatalError 4 (maximum number of clients exceeded)
    Error,         // Error 1 (unrecognized message type)
    RefuseLock,    // AsyncLockResponse 0 (no lock in time)
    CutMidReply,   // the reply's header and half its payload, then closes
  };
  // Misbehave in place of answering the first message of type `at` (of
  // DataEND: the first that ends a query).
  struct Fault {
    hislip::Type at;
    Act act;
  };
  struct Settings {
    std::uint16_t version = hislip::kVersion;  // in InitializeResponse
    bool prefer_overlapped = false;
    bool overlapped_only = false;              // a clear does not change its mode
    std::uint64_t max_message = 1 << 20;
    std::optional<std::string> reply = "ok";   // to every query (a text ending in '?'); none: silence
  };
  struct Received {
    bool async;
    hislip::Header header;
    std::string payload;
  };

  explicit HislipStandIn(std::optional<Fault> fault, Settings settings);
  HislipStandIn(std::optional<Fault> fault = std::nullopt) : HislipStandIn(fault, Settings{}) {}
  ~HislipStandIn();
  HislipStandIn(const HislipStandIn&) = delete;
  HislipStandIn& operator=(const HislipStandIn&) = delete;

  int Port() const { return port_; }
  // Every message received so far, in order.
  std::vector<Received> Messages() const;
  // The messages once `ready` says they are all there (at most 10 s later).
  std::vector<Received> MessagesOnce(const std::function<bool(const std::vector<Received>&)>& ready) const;

 private:
  void Serve();
  // Answers `m` (or misbehaves); false once the session is to end.
  bool Answer(int fd, bool async, const hislip::Message& m);
  bool Send(int fd, hislip::Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {});

  std::optional<Fault> fault_;
  Settings settings_;
  int listen_fd_ = -1;
  int port_ = 0;
  int sync_fd_ = -1;
  int async_fd_ = -1;
  bool stalled_ = false;
  bool overlapped_ = false;
  std::string message_;  // the Data so far of the message being received
  mutable std::mutex mutex_;
  mutable std::condition_variable received_;
  std::vector<Received> messages_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace multitone::testing
