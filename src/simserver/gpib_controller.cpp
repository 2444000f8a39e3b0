#include "simserver/gpib_controller.h"

#include <charconv>
#include <optional>
#include <vector>

namespace multitone::simserver {
namespace {

constexpr char kEscape = 27;
constexpr std::size_t kMaxLine = std::size_t{16} << 20;  // longer input is dropped

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    const std::size_t end = text.find(' ', start);
    words.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    at = end == std::string_view::npos ? text.size() : end;
  }
  return words;
}

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

void GpibController::StartSession() {
  address_ = 0;
  auto_ = 0;
  eoi_ = 1;
  eos_ = 0;
  mode_ = 1;
  read_timeout_ms_ = 500;
  line_.clear();
  escape_ = false;
  start_escaped_ = false;
  replies_.clear();
  for (auto& [address, shared] : bus_) {
    std::lock_guard<std::mutex> hold(shared->mutex);
    shared->analyzer.GetInterpreter().StartSession();
  }
}

std::string GpibController::Input(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (escape_) {
      escape_ = false;
      if (line_.size() < 2) start_escaped_ = true;
      if (line_.size() < kMaxLine) line_ += c;
    } else if (c == kEscape) {
      escape_ = true;
    } else if (c == '\n' || c == '\r') {
      if (!line_.empty()) {
        const bool command = !start_escaped_ && line_.size() >= 2 && line_[0] == '+' && line_[1] == '+';
        Line(line_, command, out);
      }
      line_.clear();
      start_escaped_ = false;
    } else if (line_.size() < kMaxLine) {
      line_ += c;
    }
  }
  return out;
}

void GpibController::Line(const std::string& line, bool command, std::string& out) {
  if (command) {
    Command(std::string_view(line).substr(2), out);
  } else {
    Message(line, out);
  }
}

void GpibController::Command(std::string_view command, std::string& out) {
  const std::vector<std::string_view> words = Words(command);
  if (words.empty()) return;
  const std::string_view name = words[0];
  const auto setting = [&](int& value, int low, int high) {
    if (words.size() == 1) {
      out += std::to_string(value) + "\r\n";
    } else if (const std::optional<int> n = Number(words[1]); n && *n >= low && *n <= high) {
      value = *n;
    }
  };
  if (name == "addr") {
    setting(address_, 0, 30);
  } else if (name == "auto") {
    setting(auto_, 0, 1);
  } else if (name == "eoi") {
    setting(eoi_, 0, 1);
  } else if (name == "eos") {
    setting(eos_, 0, 3);
  } else if (name == "mode") {
    setting(mode_, 0, 1);
  } else if (name == "read_tmo_ms") {
    setting(read_timeout_ms_, 1, 3000);
  } else if (name == "read") {
    TakeReply(out);
  } else if (name == "clr") {
    replies_[address_].clear();
    if (const auto found = bus_.find(address_); found != bus_.end()) {
      std::lock_guard<std::mutex> hold(found->second->mutex);
      found->second->analyzer.GetInterpreter().Clear();
    }
  } else if (name == "spoll") {
    if (const auto found = bus_.find(address_); found != bus_.end()) {
      std::lock_guard<std::mutex> hold(found->second->mutex);
      sim::Interpreter& interpreter = found->second->analyzer.GetInterpreter();
      out += std::to_string(interpreter.Status().StatusByte(!replies_[address_].empty(),
                                                            interpreter.Errors().Size() > 0)) +
             "\r\n";
    }
  } else if (name == "ver") {
    out += std::string(kVersion) + "\r\n";
  }
}

void GpibController::Message(const std::string& text, std::string& out) {
  const auto found = bus_.find(address_);
  if (found == bus_.end()) return;  // no listener: the bytes go nowhere
  std::deque<std::string>& replies = replies_[address_];
  {
    std::lock_guard<std::mutex> hold(found->second->mutex);
    sim::Interpreter& interpreter = found->second->analyzer.GetInterpreter();
    // EOI with the last byte ends the message, with or without a terminator.
    interpreter.Input(text.back() == '\n' ? text : text + '\n');
    while (std::optional<std::string> reply = interpreter.TakeReply()) replies.push_back(std::move(*reply));
  }
  if (auto_ == 1) TakeReply(out);
}

void GpibController::TakeReply(std::string& out) {
  std::deque<std::string>& replies = replies_[address_];
  if (replies.empty()) return;  // the host's read times out
  out += replies.front();
  replies.pop_front();
}

}  // namespace multitone::simserver
