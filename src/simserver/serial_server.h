#pragma once
// A serial line served by analyzer-sim: a pseudo-terminal pair it creates
// (clients open the path Path() names, /dev/pts/N, as they would a serial
// port), or a terminal device it is given (one end of socat's pair), in raw
// mode. What arrives goes to a LineExchange (the analyzer itself, or a GPIB
// controller with analyzers on its bus) and what it returns goes back.
//
// The analyzer's exchange (AnalyzerExchange): `terminator` (LF or CR) ends
// every message both ways: a CR from the client ends a command as an LF
// does, and each reply ends in the CR instead of its LF. Blocks are sent as
// they are, followed by the terminator.
//
// A serial line has no connections: a session starts with the first bytes
// after the server starts and, on its own pseudo-terminal, with the first
// bytes after every client has closed the line (a hang-up), so each client
// that opens the line finds the device's clock started over, as a new socket
// client does. A client that stops reading for kSendTimeout loses the reply.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "simserver/shared_analyzer.h"

namespace multitone::simserver {

// Takes the bytes that arrived (`new_session`: the first since a client
// opened the line) and returns the bytes that go back.
using LineExchange = std::function<std::string(std::string_view input, bool new_session)>;

// The simulated analyzer itself on the line. `changed` is called (with the
// analyzer's mutex held) after each piece of input.
LineExchange AnalyzerExchange(SharedAnalyzer& shared, char terminator, std::function<void()> changed);

class SerialServer {
 public:
  static constexpr std::chrono::seconds kSendTimeout{10};

  // `device` empty: creates a pseudo-terminal pair. Throws std::runtime_error
  // with a message when the line cannot be opened or set up.
  SerialServer(const std::string& device, LineExchange exchange);
  ~SerialServer();
  SerialServer(const SerialServer&) = delete;
  SerialServer& operator=(const SerialServer&) = delete;

  // The path clients open.
  const std::string& Path() const { return path_; }

  // Serves the line until `stop_fd` becomes readable (on a thread of its own).
  void Serve(int stop_fd);

 private:
  // False when the client stopped reading for kSendTimeout or the line failed.
  bool Send(const std::string& bytes);

  LineExchange exchange_;
  int fd_ = -1;
  bool own_pair_ = false;  // fd_ is the master of a pair we created
  std::string path_;
};

}  // namespace multitone::simserver
