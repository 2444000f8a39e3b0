#pragma once
// One message exchange with a simulated analyzer, as a door of analyzer-sim
// that frames messages offers it (a VXI-11 device, a HiSLIP session). A
// message that ends with END (an LF is added when it has none) runs on the
// exchange's worker thread, so a reply may come after a read has timed out.
// The rules, the same through every door:
//  - a new message while a reply is unread or still to come drops the reply
//    and queues -410 (not when replies are kept, HiSLIP's overlapped mode);
//  - a read waits a while for a reply; with nothing to send (no reply,
//    nothing running) it ends at once and says so (VXI-11 queues -420);
//  - a clear empties input and output (the reply of a running message is
//    dropped when it comes) and keeps the settings, status registers, error
//    queue and the device's clock; neither it nor the status byte waits for
//    a running message (the byte is the one the message before left).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "simserver/shared_analyzer.h"

namespace multitone::simserver {

// How an exchange's door wants it to behave.
struct ExchangeRules {
  bool keep_replies = false;              // replies queue up; a new message interrupts none
  long lock_holder = 0;                   // not 0: messages wait while another holds the device lock
  bool session_at_first_message = false;  // the session starts when the first message runs
};

class MessageExchange {
 public:
  // A part of a reply, as a read takes it.
  struct Piece {
    std::string bytes;
    bool end = false;         // the reply's last byte is in it
    bool term_char = false;   // it ends at the term char asked for
    std::uint32_t tag = 0;    // of the message the reply answers
    std::uint64_t epoch = 0;  // of the exchange when it was taken (see Epoch())
  };
  enum class ReadResult { Piece, TimedOut, NothingToSend, Closed };

  // `changed` is called (with the analyzer's mutex held) after each message.
  MessageExchange(SharedAnalyzer& shared, std::function<void()> changed, ExchangeRules rules = {});
  ~MessageExchange();
  MessageExchange(const MessageExchange&) = delete;
  MessageExchange& operator=(const MessageExchange&) = delete;

  SharedAnalyzer& Shared() { return shared_; }

  // A new session, as a new socket client starts one.
  void StartSession();
  // Takes data of a message; `end` ends it, `tag` goes with its replies.
  // True when it dropped an unread reply (-410 is queued then).
  bool Write(std::string_view data, bool end, std::uint32_t tag = 0);
  // The next piece of a reply: at most `max_bytes`, ending at `term_char`
  // when it is 0 to 255. Waits up to `wait` for a reply; with
  // `idle_ends_wait` it does not wait when nothing is to come.
  ReadResult Read(std::size_t max_bytes, int term_char, std::chrono::milliseconds wait, bool idle_ends_wait,
                  Piece& piece);
  // The status byte; `unread_elsewhere` counts a reply the door holds
  // unread as MAV.
  unsigned char StatusByte(bool unread_elsewhere = false);
  void Clear();
  // Counts the clears: a piece taken before the last clear is of an
  // exchange that no longer is.
  std::uint64_t Epoch();
  void KeepReplies(bool keep);
  // Queues an error of the door's own.
  void Report(sim::ScpiCode code, std::string_view detail);
  // Ends every read, now and later, with Closed.
  void Close();

 private:
  void Work();
  void DropMessages();
  // Waits, with the analyzer's mutex held, while another holds the lock.
  void WaitForLock(std::unique_lock<std::mutex>& hold);
  // The status byte without and with MAV (the analyzer's mutex held).
  void LiveStatus(std::uint8_t (&status)[2]);

  SharedAnalyzer& shared_;
  std::function<void()> changed_;
  ExchangeRules rules_;
  bool session_started_ = false;  // worker thread only

  // The message exchange, guarded by door_mutex_. No thread holds
  // door_mutex_ and shared_.mutex at the same time.
  std::mutex door_mutex_;
  std::condition_variable door_changed_;
  std::string input_;  // the message being written (no END yet)
  std::uint32_t input_tag_ = 0;
  struct Message {
    std::string text;
    std::uint32_t tag;
  };
  std::deque<Message> messages_;  // complete messages waiting to run
  bool running_ = false;          // the worker is running a message
  std::uint8_t status_[2] = {};   // the status byte as the last message left it, without and with MAV
  bool clear_pending_ = false;    // a clear came while a message ran
  std::uint64_t epoch_ = 0;       // clear: replies of older messages are dropped
  std::deque<Message> replies_;   // replies not yet being read
  Message output_;                // the reply being read, from output_at_
  std::size_t output_at_ = 0;
  bool closed_ = false;
  std::atomic<bool> stopping_{false};
  std::thread worker_;
};

}  // namespace multitone::simserver
