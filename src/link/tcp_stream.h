#pragma once
// A TCP connection to the analyzer as a ByteStream: TCP_NODELAY on, so every
// message leaves at once; no SIGPIPE on a connection the analyzer closed;
// every wait bounded by the operation's deadline.
#include <chrono>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "link/byte_stream.h"

namespace multitone {

struct ResolvedAddress {
  sockaddr_storage address{};
  socklen_t length = 0;
};

class TcpStream : public ByteStream {
 public:
  // Connects to the first address that accepts, or throws RunError 440
  // (refused, unreachable, or nothing within the deadline). `peer` names the
  // analyzer in messages; `timeout` is quoted when a wait runs out.
  static std::unique_ptr<TcpStream> Connect(const std::vector<ResolvedAddress>& addresses,
                                            const std::string& peer, Deadline deadline,
                                            std::chrono::milliseconds timeout);
  ~TcpStream() override;
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;

  void Send(std::string_view bytes, Deadline deadline) override;
  std::size_t Receive(std::span<char> buffer, Deadline deadline) override;

 private:
  TcpStream(int fd, std::string peer, std::chrono::milliseconds timeout)
      : fd_(fd), peer_(std::move(peer)), timeout_(timeout) {}
  // Waits for the socket to become ready for `events`; false on timeout.
  bool Wait(short events, Deadline deadline);
  // `note` follows the message ("; ..."), or is empty.
  [[noreturn]] void FailTimedOut(const char* doing, std::string_view note = "");

  int fd_;
  std::string peer_;
  std::chrono::milliseconds timeout_;
  bool received_any_ = false;  // a reply that never starts may mean a busy analyzer
};

}  // namespace multitone
