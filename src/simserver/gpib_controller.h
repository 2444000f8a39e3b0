#pragma once
// A GPIB controller of the "++" command family with simulated analyzers on
// its bus, as bytes in and bytes out (no socket or terminal inside: the TCP
// and serial doors wrap it).
//
// From the host: lines ended by an unescaped CR or LF; an ESC passes the next
// byte on as it is (CR, LF, ESC, "+"). A line that starts with an unescaped
// "++" is a controller command; any other is a message to the instrument at
// the current address, which ends it (EOI) whether or not "++eos" adds a
// terminator. Commands: ++addr [PAD [SAD]], ++mode, ++auto, ++eoi, ++eos,
// ++read_tmo_ms (each answers its value when given no argument), ++read
// [eoi|CHAR] (the addressed instrument's next reply, whole), ++clr (device
// clear: input and unread replies dropped, settings kept), ++spoll (the
// status byte), ++ver; others are ignored. With ++auto 1 a reply goes back
// as soon as there is one. Answers of the controller end in CR LF; an
// instrument's replies go back as they are. An address with nothing there
// takes messages and answers nothing.
#include <deque>
#include <map>
#include <string>
#include <string_view>

#include "simserver/shared_analyzer.h"

namespace multitone::simserver {

class GpibController {
 public:
  // `bus`: the analyzers by primary address (0 to 30).
  explicit GpibController(std::map<int, SharedAnalyzer*> bus) : bus_(std::move(bus)) {}

  // A new host: the controller's settings back to their defaults, unread
  // replies dropped, and every analyzer starts a session (its device's clock
  // over), as for a new socket client.
  void StartSession();

  // Takes bytes from the host; returns what goes back to it.
  std::string Input(std::string_view bytes);

  static constexpr std::string_view kVersion = "analyzer-sim GPIB controller version 1.0";

 private:
  void Line(const std::string& line, bool command, std::string& out);
  void Command(std::string_view command, std::string& out);
  void Message(const std::string& text, std::string& out);
  void TakeReply(std::string& out);

  std::map<int, SharedAnalyzer*> bus_;
  std::map<int, std::deque<std::string>> replies_;  // unread, by address
  int address_ = 0;
  int auto_ = 0, eoi_ = 1, eos_ = 0, mode_ = 1, read_timeout_ms_ = 500;
  std::string line_;
  bool escape_ = false;
  bool start_escaped_ = false;  // one of the line's first two bytes was escaped
};

}  // namespace multitone::simserver
