#pragma once
// The analyzer side of a recorded run, for analyzer-sim --replay: bytes from
// a client in, what the recorded analyzer sent back out, with no socket
// inside. Each session starts again at the record's first operation; every
// line the client sends (up to its LF) must be the next recorded command or
// block query. A recorded read is answered with its reply and an LF, a block
// query with an IEEE 488.2 block of the recorded values and an LF. A line
// other than the recorded one, a line past the record's end, or an operation
// that failed in the recorded run ends the session (the server drops the
// connection), with the reason.
#include <memory>
#include <string>
#include <string_view>

#include "replay/link_record.h"

namespace multitone::simserver {

class RecordAnswerer {
 public:
  explicit RecordAnswerer(std::shared_ptr<const LinkRecord> record);

  // A new client: back to the first operation.
  void StartSession();

  struct Answer {
    std::string reply;  // bytes to send, in order
    bool end = false;   // drop the connection after sending `reply`
    std::string why;    // when ending: operation N and what happened
  };
  Answer Input(std::string_view bytes);

 private:
  Answer Line(const std::string& line);

  std::shared_ptr<const LinkRecord> record_;
  std::size_t next_ = 0;
  std::string pending_;  // bytes of a line not yet complete
};

}  // namespace multitone::simserver
