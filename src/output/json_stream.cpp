#include "output/json_stream.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace multitone {
namespace {

// Text the tree's writer copies as it stands: printable ASCII but for the
// quote and the backslash. Anything else (escapes, UTF-8 to check) goes
// through the library's own writer.
bool PlainText(std::string_view text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') return false;
  }
  return true;
}

void AppendString(std::string& out, std::string_view text) {
  if (PlainText(text)) {
    out += '"';
    out += text;
    out += '"';
    return;
  }
  out += nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

JsonStream::JsonStream(int indent) : indent_(indent) { text_.reserve(4096); }

void JsonStream::NewLine(std::size_t depth) {
  text_ += '\n';
  text_.append(depth * static_cast<std::size_t>(indent_), ' ');
}

void JsonStream::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (level.object) throw std::logic_error("a JSON object member needs a key");
  if (level.members++ > 0) text_ += ',';
  if (indent_ >= 0) NewLine(levels_.size());
}

JsonStream& JsonStream::Key(std::string_view key) {
  if (levels_.empty() || !levels_.back().object || after_key_) {
    throw std::logic_error("a JSON key outside an object");
  }
  Level& level = levels_.back();
  if (level.members > 0 && key <= level.last_key) {
    throw std::logic_error("JSON key \"" + std::string(key) + "\" out of order after \"" +
                           std::string(level.last_key) + "\"");
  }
  if (level.members++ > 0) text_ += ',';
  if (indent_ >= 0) NewLine(levels_.size());
  level.last_key = key;
  AppendString(text_, key);
  text_ += indent_ >= 0 ? ": " : ":";
  after_key_ = true;
  return *this;
}

void JsonStream::BeginObject() {
  BeforeValue();
  text_ += '{';
  levels_.push_back({true, 0, {}});
}

void JsonStream::BeginArray() {
  BeforeValue();
  text_ += '[';
  levels_.push_back({false, 0, {}});
}

void JsonStream::Close(char bracket) {
  const bool object = bracket == '}';
  if (levels_.empty() || levels_.back().object != object || after_key_) {
    throw std::logic_error(std::string("a JSON ") + bracket + " that closes nothing open");
  }
  const int members = levels_.back().members;
  levels_.pop_back();
  if (members > 0 && indent_ >= 0) NewLine(levels_.size());
  text_ += bracket;
}

void JsonStream::EndObject() { Close('}'); }
void JsonStream::EndArray() { Close(']'); }

void JsonStream::String(std::string_view text) {
  BeforeValue();
  AppendString(text_, text);
}

void JsonStream::Number(double value) {
  BeforeValue();
  if (!std::isfinite(value)) {
    text_ += "null";
    return;
  }
  // The library's own shortest text, so a number reads as the tree wrote it.
  char digits[64];
  const char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
  text_.append(digits, static_cast<std::size_t>(end - digits));
}

void JsonStream::Integer(long long value) {
  BeforeValue();
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text_.append(digits, static_cast<std::size_t>(end - digits));
}

void JsonStream::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonStream::Null() {
  BeforeValue();
  text_ += "null";
}

void JsonStream::NumberOrNull(const std::optional<double>& value) {
  if (value) {
    Number(*value);
  } else {
    Null();
  }
}

void JsonStream::StringOrNull(std::string_view text) {
  if (text.empty()) {
    Null();
  } else {
    String(text);
  }
}

std::string JsonStream::Take() {
  if (!levels_.empty() || after_key_) throw std::logic_error("a JSON document taken unfinished");
  return std::move(text_);
}

}  // namespace multitone
