#pragma once
// analyzer-sim --replay FILE: a recorded run served on a TCP port, so that
// any client, not only multitone, can be pointed at what an analyzer once
// answered. One client at a time; each gets the record from its start
// (simserver/record_answerer.h). The server has no thread of its own.
#include <iosfwd>
#include <memory>
#include <string>

#include "replay/link_record.h"

namespace multitone::simserver {

class ReplayServer {
 public:
  // Binds and listens at once; throws std::runtime_error when the address
  // cannot be used.
  ReplayServer(const std::string& bind, int port, std::shared_ptr<const LinkRecord> record);
  ~ReplayServer();
  ReplayServer(const ReplayServer&) = delete;
  ReplayServer& operator=(const ReplayServer&) = delete;

  // "127.0.0.1:5025", the address actually bound.
  const std::string& Address() const { return address_; }

  // Serves clients until `stop_fd` becomes readable; why a session ended
  // early goes to `log`.
  void Serve(int stop_fd, std::ostream& log);

 private:
  std::shared_ptr<const LinkRecord> record_;
  int listen_fd_ = -1;
  std::string address_;
};

}  // namespace multitone::simserver
