#pragma once
// A TCP proxy on 127.0.0.1 between an ONC RPC client and its server that
// passes a given number of calls (whole records) and then fails: it cuts
// the connection, or stalls (keeps it open and passes nothing more). Serves
// one client; every wait is bounded and it stops when it goes out of scope.
#include <atomic>
#include <cstddef>
#include <thread>

namespace multitone::testing {

class RpcFaultProxy {
 public:
  enum class Fault { Cut, Stall };

  RpcFaultProxy(int server_port, std::size_t calls_passed, Fault fault);
  ~RpcFaultProxy();
  RpcFaultProxy(const RpcFaultProxy&) = delete;
  RpcFaultProxy& operator=(const RpcFaultProxy&) = delete;

  int Port() const { return port_; }
  // Calls handed to the server so far.
  std::size_t CallsPassed() const { return passed_; }

 private:
  void Serve();
  void Relay(int client, int server);

  int server_port_;
  std::size_t limit_;
  Fault fault_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<std::size_t> passed_{0};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace multitone::testing
