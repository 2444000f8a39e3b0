#pragma once
// A JSON document written as it goes, in the very bytes nlohmann::json's
// dump gives for the same tree (objects' keys in byte order, its number
// texts, its escapes, replacement characters for text that is not valid
// UTF-8), without building the tree first. The result document of every
// unit is written so: building and walking the tree cost a run more than
// the rest of its result files together.
//
// The writer keeps the layout; the caller keeps the order: an object's keys
// must come in byte order, as in the tree's map, and a key out of order or
// given twice throws std::logic_error instead of writing another document.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace multitone {

class JsonStream {
 public:
  // indent -1: one line; 0 or more: one member per line, indented so.
  explicit JsonStream(int indent = -1);

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The next member's key, inside an object.
  JsonStream& Key(std::string_view key);

  void String(std::string_view text);
  void Number(double value);  // null when not finite, as the tree writes it
  void Integer(long long value);
  void Bool(bool value);
  void Null();
  // null for an empty value: a number not formed, a name not given.
  void NumberOrNull(const std::optional<double>& value);
  void StringOrNull(std::string_view text);

  // The document written; the writer is empty afterwards.
  std::string Take();

 private:
  struct Level {
    bool object = false;
    int members = 0;
    std::string_view last_key;  // the caller's text, alive until the next key
  };
  void BeforeValue();
  void NewLine(std::size_t depth);
  void Close(char bracket);

  int indent_;
  std::string text_;
  std::vector<Level> levels_;
  bool after_key_ = false;
};

}  // namespace multitone
