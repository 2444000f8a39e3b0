#pragma once
// analyzer-sim as a child process on a free port of 127.0.0.1, and a plain
// TCP client for it. Every wait is bounded; the destructor kills and reaps
// the server if a test has not stopped it.
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/loopback_server.h"

namespace multitone::testing {

class ServerProcess {
 public:
  // Starts ANALYZER_SIM_BINARY --port 0 with `arguments` and waits (up to
  // `limit`) for its "listening on 127.0.0.1:PORT" line (and with --vxi11
  // for its VXI-11 line too, with --serial for its "serial: PATH" line, with
  // --hislip for its HiSLIP line).
  explicit ServerProcess(const std::vector<std::string>& arguments = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    // Made before the fork: the child of a process with threads must not allocate.
    std::vector<std::string> all = {ANALYZER_SIM_BINARY, "--port", "0"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
    const bool vxi11 = std::find(arguments.begin(), arguments.end(), "--vxi11") != arguments.end();
    const bool serial = std::find(arguments.begin(), arguments.end(), "--serial") != arguments.end();
    const bool controller = !serial && std::find(arguments.begin(), arguments.end(), "--prologix") != arguments.end();
    const bool hislip = std::find(arguments.begin(), arguments.end(), "--hislip") != arguments.end();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (port_ == 0 && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      output_.append(buffer, static_cast<std::size_t>(n));
      const auto at = output_.find("listening on 127.0.0.1:");
      const auto end = output_.find('\n', at);
      if (at != std::string::npos && end != std::string::npos) {
        port_ = std::stoi(output_.substr(at + 23, end - at - 23));
      }
      if (port_ != 0 && vxi11 && vxi11_port_ == 0) {
        // "vxi11: core channel on 127.0.0.1:PORT, ..." follows at once.
        constexpr std::string_view kVxi11 = "core channel on 127.0.0.1:";
        const auto v = output_.find(kVxi11);
        const auto comma = output_.find(',', v);
        if (v == std::string::npos || comma == std::string::npos) {
          port_ = 0;  // keep reading
          continue;
        }
        vxi11_port_ = std::stoi(output_.substr(v + kVxi11.size(), comma - v - kVxi11.size()));
      }
      if (port_ != 0 && serial && serial_path_.empty()) {
        constexpr std::string_view kSerial = "serial: ";
        const auto s = output_.find(kSerial);
        const auto line_end = output_.find('\n', s);
        if (s == std::string::npos || line_end == std::string::npos) {
          port_ = 0;  // keep reading
          continue;
        }
        serial_path_ = output_.substr(s + kSerial.size(), line_end - s - kSerial.size());
      }
      if (port_ != 0 && hislip && hislip_port_ == 0) {
        constexpr std::string_view kHislip = "hislip: sub-address hislip0 on 127.0.0.1:";
        const auto h = output_.find(kHislip);
        const auto line_end = output_.find('\n', h);
        if (h == std::string::npos || line_end == std::string::npos) {
          port_ = 0;  // keep reading
          continue;
        }
        hislip_port_ = std::stoi(output_.substr(h + kHislip.size(), line_end - h - kHislip.size()));
      }
      if (port_ != 0 && controller && controller_port_ == 0) {
        constexpr std::string_view kController = "gpib controller on 127.0.0.1:";
        const auto c = output_.find(kController);
        const auto line_end = output_.find('\n', c);
        if (c == std::string::npos || line_end == std::string::npos) {
          port_ = 0;  // keep reading
          continue;
        }
        controller_port_ = std::stoi(output_.substr(c + kController.size(), line_end - c - kController.size()));
      }
    }
  }
  ~ServerProcess() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int Port() const { return port_; }
  // The VXI-11 core channel's port (with --vxi11).
  int Vxi11Port() const { return vxi11_port_; }
  // The path of the serial line clients open (with --serial).
  const std::string& SerialPath() const { return serial_path_; }
  // The HiSLIP port (with --hislip) and the address that reaches it.
  int HislipPort() const { return hislip_port_; }
  std::string HislipAddress() const { return "TCPIP::127.0.0.1::hislip0," + std::to_string(hislip_port_) + "::INSTR"; }
  // The GPIB controller's TCP port (with --prologix and no --serial).
  int ControllerPort() const { return controller_port_; }
  pid_t Pid() const { return pid_; }
  // Resident memory of the server in KiB, from /proc (0 when unreadable).
  long ResidentKib() const {
    std::FILE* status = std::fopen(("/proc/" + std::to_string(pid_) + "/status").c_str(), "r");
    if (status == nullptr) return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1) break;
    }
    std::fclose(status);
    return kib;
  }
  std::string Address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

  // True while the process has not exited.
  bool Running() {
    if (reaped_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return false;
    }
    return true;
  }

  // Sends `signal` and waits up to `limit` for the exit; the exit status,
  // or nullopt when it did not exit in time (or died of a signal: -1).
  std::optional<int> Stop(int signal, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    ::kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Running()) {
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return exit_status_;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int port_ = 0;
  int vxi11_port_ = 0;
  std::string serial_path_;
  int controller_port_ = 0;
  int hislip_port_ = 0;
  std::string output_;
  bool reaped_ = false;
  int exit_status_ = -1;
};

// A blocking TCP client with bounded waits.
using Client = LoopbackClient;

}  // namespace multitone::testing
