#pragma once
// One device behind the VXI-11 door: a simulated analyzer and its message
// exchange. A device_write with END ends a message (an LF is added when it
// has none) and returns; the message runs on the device's worker thread, so a
// reply may come after a read has timed out. A new message while a reply is
// unread or still to come drops the reply and queues -410; a read waits up
// to its io_timeout for a reply, and with nothing to send (no reply, nothing
// running) queues -420 and ends at once with an I/O timeout. A clear empties
// input and output and keeps the settings and the device's clock.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "link/vxi11/vxi11.h"
#include "simserver/shared_analyzer.h"

namespace multitone::simserver {

class Vxi11Device {
 public:
  // `changed` is called (with the analyzer's mutex held) after each message.
  Vxi11Device(SharedAnalyzer& shared, std::function<void()> changed);
  ~Vxi11Device();
  Vxi11Device(const Vxi11Device&) = delete;
  Vxi11Device& operator=(const Vxi11Device&) = delete;

  SharedAnalyzer& Shared() { return shared_; }

  // A new link: a new session, as a new socket client starts one.
  void StartSession(bool lock, long link);
  // Takes the data of a device_write; `end` ends the message.
  void Write(std::string_view data, bool end);
  // Fills `piece` with the next part of a reply; returns the reason bits or,
  // negated, the VXI-11 error (an I/O timeout).
  long Read(const Device_ReadParms& in, std::string& piece);
  unsigned char StatusByte();
  void Clear();

 private:
  void Work();
  void DropMessages();
  void Report(sim::ScpiCode code, std::string_view detail);

  SharedAnalyzer& shared_;
  std::function<void()> changed_;

  // The message exchange, guarded by door_mutex_. No thread holds
  // door_mutex_ and shared_.mutex at the same time.
  std::mutex door_mutex_;
  std::condition_variable door_changed_;
  std::string input_;                 // the message being written (no END yet)
  std::deque<std::string> messages_;  // complete messages waiting to run
  bool running_ = false;              // the worker is running a message
  std::uint64_t epoch_ = 0;           // clear: replies of older messages are dropped
  std::deque<std::string> replies_;   // replies not yet being read
  std::string output_;                // the reply being read, from output_at_
  std::size_t output_at_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace multitone::simserver
