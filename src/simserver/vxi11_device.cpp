#include "simserver/vxi11_device.h"

#include <chrono>
#include <optional>
#include <vector>

namespace multitone::simserver {
namespace {

constexpr long kIoTimeout = 15;
constexpr Device_Flags kTermCharSet = 0x80;
constexpr long kReasonRequestCount = 0x01;
constexpr long kReasonTermChar = 0x02;
constexpr long kReasonEnd = 0x04;

}  // namespace

Vxi11Device::Vxi11Device(SharedAnalyzer& shared, std::function<void()> changed)
    : shared_(shared), changed_(std::move(changed)) {
  worker_ = std::thread([this] { Work(); });
}

Vxi11Device::~Vxi11Device() {
  {
    std::lock_guard<std::mutex> door(door_mutex_);
    stopping_ = true;
  }
  door_changed_.notify_all();
  worker_.join();
}

void Vxi11Device::StartSession(bool lock, long link) {
  DropMessages();
  std::lock_guard<std::mutex> hold(shared_.mutex);
  if (lock) shared_.lock_holder = link;
  shared_.analyzer.GetInterpreter().StartSession();
}

void Vxi11Device::DropMessages() {
  std::lock_guard<std::mutex> door(door_mutex_);
  input_.clear();
  messages_.clear();
  replies_.clear();
  output_.clear();
  output_at_ = 0;
  ++epoch_;
}

void Vxi11Device::Report(sim::ScpiCode code, std::string_view detail) {
  std::lock_guard<std::mutex> hold(shared_.mutex);
  shared_.analyzer.GetInterpreter().ReportError(code, detail);
}

void Vxi11Device::Work() {
  std::unique_lock<std::mutex> door(door_mutex_);
  for (;;) {
    door_changed_.wait(door, [this] { return stopping_ || !messages_.empty(); });
    if (stopping_) return;
    const std::string message = std::move(messages_.front());
    messages_.pop_front();
    const std::uint64_t epoch = epoch_;
    running_ = true;
    door.unlock();
    std::vector<std::string> replies;
    {
      std::lock_guard<std::mutex> hold(shared_.mutex);
      sim::Interpreter& interpreter = shared_.analyzer.GetInterpreter();
      interpreter.Input(message);
      if (changed_) changed_();
      while (std::optional<std::string> reply = interpreter.TakeReply()) replies.push_back(std::move(*reply));
    }
    door.lock();
    running_ = false;
    // A reply whose next message has already arrived is interrupted.
    const bool interrupted = !replies.empty() && !messages_.empty();
    if (epoch == epoch_ && !interrupted) {
      for (std::string& reply : replies) replies_.push_back(std::move(reply));
    }
    door_changed_.notify_all();
    if (epoch == epoch_ && interrupted) {
      door.unlock();
      Report(sim::ScpiCode::QueryInterrupted, "reply dropped by a new message");
      door.lock();
    }
  }
}

void Vxi11Device::Write(std::string_view data, bool end) {
  bool interrupted = false;
  {
    std::lock_guard<std::mutex> door(door_mutex_);
    if (!data.empty() && input_.empty() && (!replies_.empty() || output_at_ < output_.size())) {
      interrupted = true;
      replies_.clear();
      output_.clear();
      output_at_ = 0;
    }
    input_.append(data);
    if (end) {
      if (input_.empty() || input_.back() != '\n') input_ += '\n';
      messages_.push_back(std::move(input_));
      input_.clear();
      door_changed_.notify_all();
    }
  }
  if (interrupted) Report(sim::ScpiCode::QueryInterrupted, "reply dropped by a new message");
}

long Vxi11Device::Read(const Device_ReadParms& in, std::string& piece) {
  std::unique_lock<std::mutex> door(door_mutex_);
  if (output_at_ >= output_.size()) {
    const auto idle = [this] { return !running_ && messages_.empty(); };
    door_changed_.wait_for(door, std::chrono::milliseconds(in.io_timeout),
                           [&] { return !replies_.empty() || idle(); });
    if (replies_.empty()) {
      const bool nothing_to_send = idle();
      door.unlock();
      if (nothing_to_send) Report(sim::ScpiCode::QueryUnterminated, "read with nothing to send");
      return -kIoTimeout;
    }
    output_ = std::move(replies_.front());
    replies_.pop_front();
    output_at_ = 0;
  }
  std::size_t size = std::min<std::size_t>(output_.size() - output_at_, std::max<unsigned long>(in.requestSize, 1));
  long reason = 0;
  if ((in.flags & kTermCharSet) != 0) {
    const std::size_t at = output_.find(in.termChar, output_at_);
    if (at != std::string::npos && at < output_at_ + size) {
      size = at - output_at_ + 1;
      reason |= kReasonTermChar;
    }
  }
  piece.assign(output_, output_at_, size);
  output_at_ += size;
  if (output_at_ >= output_.size()) {
    reason |= kReasonEnd;
    output_.clear();
    output_at_ = 0;
  } else if ((reason & kReasonTermChar) == 0) {
    reason |= kReasonRequestCount;
  }
  return reason;
}

unsigned char Vxi11Device::StatusByte() {
  bool unread = false;
  {
    std::lock_guard<std::mutex> door(door_mutex_);
    unread = !replies_.empty() || output_at_ < output_.size();
  }
  std::lock_guard<std::mutex> hold(shared_.mutex);
  sim::Interpreter& interpreter = shared_.analyzer.GetInterpreter();
  return interpreter.Status().StatusByte(unread, interpreter.Errors().Size() > 0);
}

void Vxi11Device::Clear() {
  DropMessages();
  std::lock_guard<std::mutex> hold(shared_.mutex);
  shared_.analyzer.GetInterpreter().Clear();
}

}  // namespace multitone::simserver
