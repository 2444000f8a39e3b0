#pragma once
// The simulated "++" GPIB controller on the LAN: a TCP port (1234 unless
// told otherwise; 0 takes a free one) serving one host at a time, each new
// host a new session of the controller (simserver/gpib_controller.h). TCP_NODELAY
// on; a host that stops reading for kSendTimeout is dropped.
#include <chrono>
#include <string>

#include "simserver/gpib_controller.h"

namespace multitone::simserver {

class ControllerServer {
 public:
  static constexpr std::chrono::seconds kSendTimeout{10};

  // Binds and listens at once; throws std::runtime_error with a message when
  // the address cannot be used.
  ControllerServer(GpibController& controller, const std::string& bind, int port);
  ~ControllerServer();
  ControllerServer(const ControllerServer&) = delete;
  ControllerServer& operator=(const ControllerServer&) = delete;

  // "127.0.0.1:1234", the address bound.
  const std::string& Address() const { return address_; }

  // Serves hosts until `stop_fd` becomes readable (on a thread of its own).
  void Serve(int stop_fd);

 private:
  void ServeHost(int host, int stop_fd);

  GpibController& controller_;
  int listen_fd_ = -1;
  std::string address_;
};

}  // namespace multitone::simserver
