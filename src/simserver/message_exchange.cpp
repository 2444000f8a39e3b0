#include "simserver/message_exchange.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace multitone::simserver {

MessageExchange::MessageExchange(SharedAnalyzer& shared, std::function<void()> changed, ExchangeRules rules)
    : shared_(shared), changed_(std::move(changed)), rules_(rules) {
  // Not read from the analyzer, which another door may be holding: a new
  // exchange is never kept waiting.
  status_[1] = sim::StatusModel::kMessageAvailable;
  worker_ = std::thread([this] { Work(); });
}

MessageExchange::~MessageExchange() {
  {
    std::lock_guard<std::mutex> door(door_mutex_);
    stopping_ = true;
    closed_ = true;
  }
  door_changed_.notify_all();
  { std::lock_guard<std::mutex> hold(shared_.mutex); }  // a lock wait sees stopping_ or the notification
  shared_.unlocked.notify_all();
  worker_.join();
}

void MessageExchange::StartSession() {
  DropMessages();
  std::lock_guard<std::mutex> hold(shared_.mutex);
  shared_.analyzer.GetInterpreter().StartSession();
}

void MessageExchange::DropMessages() {
  std::lock_guard<std::mutex> door(door_mutex_);
  input_.clear();
  messages_.clear();
  replies_.clear();
  output_.text.clear();
  output_at_ = 0;
  ++epoch_;
}

void MessageExchange::Report(sim::ScpiCode code, std::string_view detail) {
  std::uint8_t status[2];
  {
    std::lock_guard<std::mutex> hold(shared_.mutex);
    shared_.analyzer.GetInterpreter().ReportError(code, detail);
    LiveStatus(status);
  }
  std::lock_guard<std::mutex> door(door_mutex_);
  std::copy(std::begin(status), std::end(status), std::begin(status_));
}

void MessageExchange::WaitForLock(std::unique_lock<std::mutex>& hold) {
  if (rules_.lock_holder == 0) return;
  shared_.unlocked.wait(
      hold, [this] { return stopping_ || shared_.lock_holder == 0 || shared_.lock_holder == rules_.lock_holder; });
}

void MessageExchange::Work() {
  std::unique_lock<std::mutex> door(door_mutex_);
  for (;;) {
    door_changed_.wait(door, [this] { return stopping_ || !messages_.empty(); });
    if (stopping_) return;
    const Message message = std::move(messages_.front());
    messages_.pop_front();
    const std::uint64_t epoch = epoch_;
    const bool clear = std::exchange(clear_pending_, false);
    running_ = true;
    door.unlock();
    std::vector<std::string> replies;
    std::uint8_t status[2];
    {
      std::unique_lock<std::mutex> hold(shared_.mutex);
      WaitForLock(hold);
      sim::Interpreter& interpreter = shared_.analyzer.GetInterpreter();
      if (clear) interpreter.Clear();
      if (rules_.session_at_first_message && !session_started_) {
        interpreter.StartSession();
        session_started_ = true;
      }
      interpreter.Input(message.text);
      if (changed_) changed_();
      while (std::optional<std::string> reply = interpreter.TakeReply()) replies.push_back(std::move(*reply));
      LiveStatus(status);
    }
    door.lock();
    running_ = false;
    std::copy(std::begin(status), std::end(status), std::begin(status_));
    // A reply whose next message has already arrived is interrupted.
    const bool interrupted = !replies.empty() && !messages_.empty() && !rules_.keep_replies;
    if (epoch == epoch_ && !interrupted) {
      for (std::string& reply : replies) replies_.push_back({std::move(reply), message.tag});
    }
    door_changed_.notify_all();
    if (epoch == epoch_ && interrupted) {
      door.unlock();
      Report(sim::ScpiCode::QueryInterrupted, "reply dropped by a new message");
      door.lock();
    }
  }
}

bool MessageExchange::Write(std::string_view data, bool end, std::uint32_t tag) {
  bool interrupted = false;
  {
    std::lock_guard<std::mutex> door(door_mutex_);
    if (!data.empty() && input_.empty() && !rules_.keep_replies &&
        (!replies_.empty() || output_at_ < output_.text.size())) {
      interrupted = true;
      replies_.clear();
      output_.text.clear();
      output_at_ = 0;
    }
    input_.append(data);
    if (end) {
      if (input_.empty() || input_.back() != '\n') input_ += '\n';
      messages_.push_back({std::move(input_), tag});
      input_.clear();
      door_changed_.notify_all();
    }
  }
  if (interrupted) Report(sim::ScpiCode::QueryInterrupted, "reply dropped by a new message");
  return interrupted;
}

MessageExchange::ReadResult MessageExchange::Read(std::size_t max_bytes, int term_char, std::chrono::milliseconds wait,
                                                  bool idle_ends_wait, Piece& piece) {
  std::unique_lock<std::mutex> door(door_mutex_);
  if (output_at_ >= output_.text.size()) {
    const auto idle = [this] { return !running_ && messages_.empty(); };
    door_changed_.wait_for(door, wait, [&] { return closed_ || !replies_.empty() || (idle_ends_wait && idle()); });
    if (closed_) return ReadResult::Closed;
    if (replies_.empty()) return idle() ? ReadResult::NothingToSend : ReadResult::TimedOut;
    output_ = std::move(replies_.front());
    replies_.pop_front();
    output_at_ = 0;
  }
  std::size_t size = std::min(output_.text.size() - output_at_, std::max<std::size_t>(max_bytes, 1));
  piece.term_char = false;
  if (term_char >= 0) {
    const std::size_t at = output_.text.find(static_cast<char>(term_char), output_at_);
    if (at != std::string::npos && at < output_at_ + size) {
      size = at - output_at_ + 1;
      piece.term_char = true;
    }
  }
  piece.bytes.assign(output_.text, output_at_, size);
  piece.tag = output_.tag;
  piece.epoch = epoch_;
  output_at_ += size;
  piece.end = output_at_ >= output_.text.size();
  if (piece.end) {
    output_.text.clear();
    output_at_ = 0;
  }
  return ReadResult::Piece;
}

void MessageExchange::LiveStatus(std::uint8_t (&status)[2]) {
  sim::Interpreter& interpreter = shared_.analyzer.GetInterpreter();
  const bool errors = interpreter.Errors().Size() > 0;
  status[0] = interpreter.Status().StatusByte(false, errors);
  status[1] = interpreter.Status().StatusByte(true, errors);
}

unsigned char MessageExchange::StatusByte(bool unread_elsewhere) {
  bool unread = unread_elsewhere;
  {
    std::lock_guard<std::mutex> door(door_mutex_);
    unread = unread || !replies_.empty() || output_at_ < output_.text.size();
    // A running message holds the analyzer (an acquisition takes its
    // time): the byte as that message found it.
    if (running_) return status_[unread ? 1 : 0];
  }
  std::lock_guard<std::mutex> hold(shared_.mutex);
  std::uint8_t status[2];
  LiveStatus(status);
  return status[unread ? 1 : 0];
}

void MessageExchange::Clear() {
  DropMessages();
  {
    std::lock_guard<std::mutex> door(door_mutex_);
    // A running message holds the analyzer: its input is cleared before the
    // next message runs, and the clear does not wait.
    if (running_) {
      clear_pending_ = true;
      return;
    }
  }
  std::lock_guard<std::mutex> hold(shared_.mutex);
  shared_.analyzer.GetInterpreter().Clear();
}

std::uint64_t MessageExchange::Epoch() {
  std::lock_guard<std::mutex> door(door_mutex_);
  return epoch_;
}

void MessageExchange::KeepReplies(bool keep) {
  std::lock_guard<std::mutex> door(door_mutex_);
  rules_.keep_replies = keep;
}

void MessageExchange::Close() {
  {
    std::lock_guard<std::mutex> door(door_mutex_);
    closed_ = true;
  }
  door_changed_.notify_all();
}

}  // namespace multitone::simserver
