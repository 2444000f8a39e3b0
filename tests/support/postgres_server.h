#pragma once
// A PostgreSQL server of its own for a test: initdb in a fresh temporary
// folder, started with pg_ctl on 127.0.0.1 and a free port. The server
// refuses to run as root, so under root its folder and processes belong to
// the unprivileged user "nobody". Every step is bounded; the destructor stops
// the server and removes the folder, whatever happened in between.
#include <string>
#include <vector>

namespace multitone::testing {

class PostgresServer {
 public:
  // Throws std::runtime_error with the tool's output when it cannot start.
  PostgresServer();
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  void Start();
  void Stop();
  // "postgresql://postgres@127.0.0.1:PORT/postgres"
  std::string Url() const;

 private:
  void Run(std::vector<std::string> argv);
  std::string folder_;
  std::string bin_;
  int port_ = 0;
  bool running_ = false;
};

}  // namespace multitone::testing
