#pragma once
// An RS-232 line to the analyzer (ASRL/dev/PATH::INSTR) as a ByteStream, and
// the transport over it. The port is opened in raw mode (termios: no echo,
// no line editing, no CR/LF translation, no signals, 8-bit clean) with the
// address's baud rate, data bits, parity, stop bits and flow control
// (RTS/CTS in hardware, or XON/XOFF); bytes already waiting in either
// direction are discarded when it opens. Reads return what has arrived
// (VMIN 1, VTIME 0) and every wait is bounded by the operation's one
// deadline through poll(). The wire protocol is the socket's with the
// address's terminator (LF or CR) in the LF's place both ways; blocks are
// read by their byte count, since a serial line has no end-of-message
// signal. A line that hangs up (a USB adapter unplugged, a pseudo-terminal
// whose other side is gone) fails as a closed connection.
#include <chrono>
#include <memory>
#include <string>

#include "link/analyzer_address.h"
#include "link/byte_stream.h"
#include "link/stream_transport.h"
#include "link/transport.h"

namespace multitone {

class SerialStream : public ByteStream {
 public:
  // Opens and sets up the port, or throws RunError 440 saying why.
  static std::unique_ptr<SerialStream> Open(const std::string& path, const SerialSettings& settings,
                                            std::chrono::milliseconds timeout);
  ~SerialStream() override;
  SerialStream(const SerialStream&) = delete;
  SerialStream& operator=(const SerialStream&) = delete;

  void Send(std::string_view bytes, Deadline deadline) override;
  std::size_t Receive(std::span<char> buffer, Deadline deadline) override;

 private:
  SerialStream(int fd, std::string path, std::chrono::milliseconds timeout)
      : fd_(fd), path_(std::move(path)), timeout_(timeout) {}
  [[noreturn]] void FailTimedOut(const char* doing);

  int fd_;
  std::string path_;
  std::chrono::milliseconds timeout_;
  bool received_any_ = false;
};

// What opens the serial line, for a transport that speaks over it.
StreamConnector SerialConnector(const std::string& path, const SerialSettings& settings,
                                std::chrono::milliseconds timeout);

// The transport over a serial line; Initialize opens the port and sends
// nothing, Close closes it and sends nothing.
std::unique_ptr<Transport> OpenSerialTransport(const std::string& path, const SerialSettings& settings,
                                               std::chrono::milliseconds timeout);

}  // namespace multitone
