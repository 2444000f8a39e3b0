#pragma once
// A TCP server on 127.0.0.1 and a free port, for tests that play the
// analyzer's side byte by byte: each accepted connection is handed to the
// test's handler on the server's thread. Every wait is bounded, and the
// server stops by itself when it goes out of scope.
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace multitone::testing {

class ServerConnection {
 public:
  explicit ServerConnection(int fd) : fd_(fd) {}
  ~ServerConnection();
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;

  // The next line the client sent, without its LF; nullopt when the client
  // closed the connection or nothing came within `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Sends bytes, false when the client has gone.
  bool Send(std::string_view bytes);
  // Sends each byte as its own segment, with a short pause between.
  bool SendInPieces(std::string_view bytes, std::size_t piece = 1);
  // Closes with a FIN.
  void Close();
  // Closes with a RST.
  void Reset();
  // Waits until the client closes its end (or `timeout` passes); true if it did.
  bool WaitForClientClose(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // The bytes received from the client that no ReadLine has returned yet:
  // after WaitForClientClose, everything the client sent after its last line.
  const std::string& Unread() const { return pending_; }

 private:
  int fd_;
  std::string pending_;
};

// A client connection to 127.0.0.1:port, with the same bounded line reading.
class LoopbackClient : public ServerConnection {
 public:
  explicit LoopbackClient(int port);
  bool Connected() const { return connected_; }

 private:
  struct Socket {
    int fd;
    bool connected;
  };
  explicit LoopbackClient(Socket socket) : ServerConnection(socket.fd), connected_(socket.connected) {}
  static Socket Connect(int port);

  bool connected_;
};

class LoopbackServer {
 public:
  using Handler = std::function<void(ServerConnection&)>;
  // Listens at once; serves up to `connections` clients, one after another.
  explicit LoopbackServer(Handler handler, int connections = 1);
  ~LoopbackServer();

  int Port() const { return port_; }
  std::string Address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve(int connections);

  Handler handler_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// A port on 127.0.0.1 that nothing listens on (bound, then closed).
int UnusedPort();

// The bytes of a definite-length block of little-endian floats, with its LF.
std::string BlockBytes(const std::vector<float>& values);

}  // namespace multitone::testing
