#include "link/serial_stream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "common/run_error.h"
#include "link/stream_transport.h"

namespace multitone {
namespace {

[[noreturn]] void Fail(const std::string& problem) {
  throw RunError(ErrorNumber::AnalyzerOperationFailed, problem);
}

speed_t Speed(int baud) {
  static constexpr std::pair<int, speed_t> kSpeeds[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
      {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
      {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
      {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
      {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000}};
  for (const auto& [rate, speed] : kSpeeds) {
    if (rate == baud) return speed;
  }
  return B9600;  // the address parser admits only the rates above
}

void SetUp(termios& t, const SerialSettings& s) {
  using Parity = SerialSettings::Parity;
  ::cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag |= s.data_bits == 5 ? CS5 : s.data_bits == 6 ? CS6 : s.data_bits == 7 ? CS7 : CS8;
  if (s.parity != Parity::None) t.c_cflag |= PARENB;
  if (s.parity == Parity::Odd || s.parity == Parity::Mark) t.c_cflag |= PARODD;
  if (s.parity == Parity::Mark || s.parity == Parity::Space) t.c_cflag |= CMSPAR;
  if (s.stop_bits == 2) t.c_cflag |= CSTOPB;
  if (s.flow == SerialSettings::Flow::RtsCts) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  if (s.flow == SerialSettings::Flow::XonXoff) t.c_iflag |= IXON | IXOFF;
  if (s.parity != Parity::None) t.c_iflag |= INPCK;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, Speed(s.baud));
  ::cfsetospeed(&t, Speed(s.baud));
}

// Waits until fd is ready for `events` (> 0), the deadline passes (0) or
// poll fails (< 0, errno set).
int PollUntil(int fd, short events, Deadline deadline, short& revents) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int ready = ::poll(&p, 1, deadline.RemainingMs());
    if (ready < 0 && errno == EINTR) continue;
    revents = p.revents;
    return ready;
  }
}

}  // namespace

std::unique_ptr<SerialStream> SerialStream::Open(const std::string& path, const SerialSettings& settings,
                                                 std::chrono::milliseconds timeout) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) Fail("cannot open serial port " + path + ": " + std::strerror(errno));
  std::unique_ptr<SerialStream> stream(new SerialStream(fd, path, timeout));
  termios t{};
  if (::tcgetattr(fd, &t) != 0) Fail(path + " is not a serial port: " + std::strerror(errno));
  SetUp(t, settings);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    Fail("cannot set up serial port " + path + ": " + std::strerror(errno));
  }
  // A reply left over from an earlier client is not this run's.
  ::tcflush(fd, TCIOFLUSH);
  return stream;
}

SerialStream::~SerialStream() { ::close(fd_); }

void SerialStream::FailTimedOut(const char* doing) {
  Fail(std::string(doing) + " did not complete within the " + std::to_string(timeout_.count()) + " ms timeout" +
       (received_any_ || std::strcmp(doing, "the reply") != 0
            ? ""
            : "; nothing at all has come back on " + path_ + ": check the cable, baud rate and flow control"));
}

void SerialStream::Send(std::string_view bytes, Deadline deadline) {
  while (!bytes.empty()) {
    const ssize_t sent = ::write(fd_, bytes.data(), bytes.size());
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      short revents = 0;
      const int ready = PollUntil(fd_, POLLOUT, deadline, revents);
      if (ready == 0) FailTimedOut("sending");
      if (ready < 0) Fail(std::string("waiting for the serial line failed: ") + std::strerror(errno));
      if ((revents & (POLLHUP | POLLERR)) != 0 && (revents & POLLOUT) == 0) Fail("serial line hung up");
      continue;
    }
    Fail(errno == EIO ? "serial line hung up" : std::string("serial line failed: ") + std::strerror(errno));
  }
}

std::size_t SerialStream::Receive(std::span<char> buffer, Deadline deadline) {
  for (;;) {
    const ssize_t received = ::read(fd_, buffer.data(), buffer.size());
    if (received > 0) {
      received_any_ = true;
      return static_cast<std::size_t>(received);
    }
    if (received < 0 && errno == EINTR) continue;
    if (received == 0 || errno == EIO) Fail("serial line hung up");
    if (errno != EAGAIN && errno != EWOULDBLOCK) Fail(std::string("serial line failed: ") + std::strerror(errno));
    short revents = 0;
    const int ready = PollUntil(fd_, POLLIN, deadline, revents);
    if (ready == 0) FailTimedOut("the reply");
    if (ready < 0) Fail(std::string("waiting for the serial line failed: ") + std::strerror(errno));
    if ((revents & POLLIN) == 0 && (revents & (POLLHUP | POLLERR)) != 0) Fail("serial line hung up");
  }
}

StreamConnector SerialConnector(const std::string& path, const SerialSettings& settings,
                                std::chrono::milliseconds timeout) {
  return [path, settings, timeout](Deadline) -> std::unique_ptr<ByteStream> {
    return SerialStream::Open(path, settings, timeout);
  };
}

std::unique_ptr<Transport> OpenSerialTransport(const std::string& path, const SerialSettings& settings,
                                               std::chrono::milliseconds timeout) {
  return MakeStreamTransport(SerialConnector(path, settings, timeout), timeout, settings.termination);
}

}  // namespace multitone
