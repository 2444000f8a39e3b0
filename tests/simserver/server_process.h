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
  // `limit`) for its "listening on 127.0.0.1:PORT" line (none with
  // --no-socket) and the lines of the doors asked for (--vxi11, --serial,
  // --prologix, --hislip).
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
    const auto given = [&](const char* option) {
      return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
    };
    const bool socket = !given("--no-socket");
    const bool vxi11 = given("--vxi11");
    const bool serial = given("--serial");
    const bool controller = !serial && given("--prologix");
    const bool hislip = given("--hislip");
    // The text after `prefix` up to `end` on the lines so far, or "".
    const auto field = [this](std::string_view prefix, char end) -> std::string {
      const auto at = output_.find(prefix);
      const auto stop = output_.find(end, at == std::string::npos ? 0 : at + prefix.size());
      if (at == std::string::npos || stop == std::string::npos) return "";
      return output_.substr(at + prefix.size(), stop - at - prefix.size());
    };
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool complete = false;
    while (!complete && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      output_.append(buffer, static_cast<std::size_t>(n));
      const std::string port = field("listening on 127.0.0.1:", '\n');
      const std::string vxi11_port = field("core channel on 127.0.0.1:", ',');
      const std::string hislip_port = field("hislip: sub-address hislip0 on 127.0.0.1:", '\n');
      const std::string controller_port = field("gpib controller on 127.0.0.1:", '\n');
      serial_path_ = field("serial: ", '\n');
      complete = (!socket || !port.empty()) && (!vxi11 || !vxi11_port.empty()) &&
                 (!hislip || !hislip_port.empty()) && (!controller || !controller_port.empty()) &&
                 (!serial || !serial_path_.empty());
      if (!complete) continue;
      port_ = socket ? std::stoi(port) : 0;
      vxi11_port_ = vxi11 ? std::stoi(vxi11_port) : 0;
      hislip_port_ = hislip ? std::stoi(hislip_port) : 0;
      controller_port_ = controller ? std::stoi(controller_port) : 0;
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
