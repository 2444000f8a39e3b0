#pragma once
// The analyzer link: the five operations through which every exchange of the
// run passes. It adds to its transport the block-into-array rule of
// ReadBlock and the --trace report of every operation.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "link/transport.h"

namespace multitone {

class AnalyzerLink {
 public:
  // `trace`, when given, receives one line per operation as it happens.
  explicit AnalyzerLink(std::unique_ptr<Transport> transport, std::ostream* trace = nullptr);

  void Initialize(std::string_view text);
  void Write(std::string_view text);
  std::string Read();
  // Sends the query and stores the first `count` values of the block into
  // destination[0], destination[1], ...: further values are read and
  // dropped; with fewer, the rest of the destination stays as it was.
  // A count beyond the destination is an index error (9), found before
  // anything is sent.
  void ReadBlock(std::string_view query, std::span<float> destination, std::int32_t count);
  void Close();

 private:
  void TraceLine(std::string_view marker, std::string_view text);

  std::unique_ptr<Transport> transport_;
  std::ostream* trace_;
};

// Shows a reply for a person: printable ASCII as it is, "\r", "\n", "\t",
// "\\" and "\xNN" for the rest.
std::string EscapeForTrace(std::string_view bytes);

}  // namespace multitone
