#include "support/postgres_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/subprocess.h"

namespace multitone::testing {
namespace {

constexpr auto kStepLimit = std::chrono::seconds(60);

// The newest installed server's programs (Debian keeps them per version).
std::string ServerBinaries() {
  std::string newest;
  int newest_version = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
    const int version = std::atoi(entry.path().filename().c_str());
    if (version > newest_version && std::filesystem::exists(entry.path() / "bin" / "pg_ctl")) {
      newest_version = version;
      newest = (entry.path() / "bin").string();
    }
  }
  if (newest.empty()) throw std::runtime_error("no PostgreSQL server under /usr/lib/postgresql");
  return newest;
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error("no free loopback port");
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace

PostgresServer::PostgresServer() : bin_(ServerBinaries()), port_(FreeLoopbackPort()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-pg.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
  folder_ = pattern;
  if (::geteuid() == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr || ::chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
      std::filesystem::remove_all(folder_);
      throw std::runtime_error("cannot hand " + folder_ + " to the user nobody");
    }
  }
  try {
    Run({bin_ + "/initdb", "-D", folder_ + "/data", "-U", "postgres", "--auth=trust", "-E",
         "UTF8", "--no-sync"});
    Start();
  } catch (...) {
    std::filesystem::remove_all(folder_);
    throw;
  }
}

PostgresServer::~PostgresServer() {
  try {
    Stop();
  } catch (const std::exception&) {
    // Last resort: the server must not outlive the test.
    try {
      Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-m", "immediate", "-w", "-t", "30", "stop"});
    } catch (const std::exception&) {
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void PostgresServer::Start() {
  Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-l", folder_ + "/server.log", "-w", "-t", "30",
       "-o", "-p " + std::to_string(port_) + " -k " + folder_ + " -c listen_addresses=127.0.0.1",
       "start"});
  running_ = true;
}

void PostgresServer::Stop() {
  if (!running_) return;
  Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-m", "fast", "-w", "-t", "30", "stop"});
  running_ = false;
}

std::string PostgresServer::Url() const {
  return "postgresql://postgres@127.0.0.1:" + std::to_string(port_) + "/postgres";
}

void PostgresServer::Run(std::vector<std::string> argv) {
  const std::string tool = argv[0];
  // In the server's folder: the test's own may be closed to "nobody".
  argv.insert(argv.begin(), {"/usr/bin/env", "--chdir=" + folder_});
  if (::geteuid() == 0) argv.insert(argv.begin(), {"/usr/sbin/runuser", "-u", "nobody", "--"});
  const ProgramResult result = RunProgram(argv, kStepLimit);
  if (result.exit_code != 0) {
    throw std::runtime_error(tool + " failed" +
                             (result.timed_out ? " (timed out)" : "") + ": " + result.out +
                             result.err);
  }
}

}  // namespace multitone::testing
