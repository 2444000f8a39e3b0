#pragma once
// The HiSLIP message (High-Speed LAN Instrument Protocol, IVI-6.1): a 16-byte
// header, then the payload. The header is "HS", the message type, a control
// code, a 32-bit message parameter and the payload's length in 64 bits, both
// numbers big-endian. Both ends of the link frame and take apart their
// messages here: the client transport (link/hislip_transport.h) and the
// simulated analyzer's server (simserver/hislip_server.h).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace multitone::hislip {

constexpr int kDefaultPort = 4880;
constexpr std::size_t kHeaderBytes = 16;
// The highest protocol version either side of ours speaks: 2.0 (major in the
// upper byte). 1.x is spoken to a server that offers no more.
constexpr std::uint16_t kVersion = 0x0200;
// The first MessageID of a session and after each device clear; every Data,
// DataEND and Trigger message the client sends adds 2.
constexpr std::uint32_t kFirstMessageId = 0xffffff00;

enum class Type : std::uint8_t {
  Initialize = 0,
  InitializeResponse = 1,
  FatalError = 2,
  Error = 3,
  AsyncLock = 4,
  AsyncLockResponse = 5,
  Data = 6,
  DataEnd = 7,
  DeviceClearComplete = 8,
  DeviceClearAcknowledge = 9,
  AsyncRemoteLocalControl = 10,
  AsyncRemoteLocalResponse = 11,
  Trigger = 12,
  Interrupted = 13,
  AsyncInterrupted = 14,
  AsyncMaximumMessageSize = 15,
  AsyncMaximumMessageSizeResponse = 16,
  AsyncInitialize = 17,
  AsyncInitializeResponse = 18,
  AsyncDeviceClear = 19,
  AsyncServiceRequest = 20,
  AsyncStatusQuery = 21,
  AsyncStatusResponse = 22,
  AsyncDeviceClearAcknowledge = 23,
  AsyncLockInfo = 24,
  AsyncLockInfoResponse = 25,
  // 26 to 38: descriptors, TLS and authentication (2.0), not used here.
};
constexpr std::uint8_t kLastKnownType = 38;
constexpr std::uint8_t kFirstVendorType = 128;

// Control-code bits.
constexpr std::uint8_t kRmtDelivered = 0x01;      // Data, DataEND, AsyncStatusQuery from the client
constexpr std::uint8_t kPreferOverlapped = 0x01;  // InitializeResponse; the feature bit of the clear handshake
constexpr std::uint8_t kLockRequest = 1;          // AsyncLock: 1 request, 0 release
// AsyncLockResponse
constexpr std::uint8_t kLockFailed = 0;
constexpr std::uint8_t kLockGranted = 1;  // granted, or an exclusive lock released
constexpr std::uint8_t kSharedLockReleased = 2;
constexpr std::uint8_t kLockError = 3;

// Error codes of Error (non-fatal) and FatalError.
enum class ErrorCode : std::uint8_t {
  Unidentified = 0,
  UnrecognizedMessageType = 1,
  UnrecognizedControlCode = 2,
  UnrecognizedVendorMessage = 3,
  MessageTooLarge = 4,
};
enum class FatalCode : std::uint8_t {
  Unidentified = 0,
  PoorlyFormedHeader = 1,
  ChannelsNotEstablished = 2,
  InvalidInitialization = 3,
  TooManyClients = 4,
};

struct Header {
  std::uint8_t type = 0;
  std::uint8_t control = 0;
  std::uint32_t parameter = 0;
  std::uint64_t length = 0;  // of the payload
};

// One message as received: the payload is a view into the receiver's
// buffer, valid until it receives again.
struct Message {
  Header header;
  std::string_view payload;
  Type type() const { return static_cast<Type>(header.type); }
};

// Appends one whole message, header and payload, to `out`.
void AppendMessage(std::string& out, Type type, std::uint8_t control, std::uint32_t parameter,
                   std::string_view payload = {});
// The 8-byte big-endian payload of AsyncMaximumMessageSize and its response.
std::string SizePayload(std::uint64_t size);
// That payload's number; nullopt when it is not 8 bytes.
std::optional<std::uint64_t> SizeOfPayload(std::string_view payload);

// "2.0" for 0x0200.
std::string VersionText(std::uint16_t version);
// "DataEND", "AsyncLockResponse", "vendor message 200", "message type 77".
std::string TypeName(std::uint8_t type);
// "message too large", "poorly formed message header"; "unknown" beyond
// the codes defined.
std::string_view ErrorMeaning(std::uint8_t code);
std::string_view FatalMeaning(std::uint8_t code);
// One line for --trace: the type and what its fields mean
// ("DataEND message 0xFFFFFF02, RMT-delivered, 19 bytes").
std::string Describe(const Message& message);

// Bytes as they arrive on one channel, cut into whole messages. Nothing is
// taken until the whole message is there, so a receiver whose wait ran out
// can come back for the same message later.
class MessageBuffer {
 public:
  enum class State { Incomplete, Complete, Malformed, TooLarge };

  // Room for more received bytes (for the whole message at the front, once
  // its header is here and checked); the count received goes to Received().
  std::span<char> Space();
  void Received(std::size_t count) { end_ += count; }

  // What the buffered bytes hold: a whole message, the start of one, a
  // header that does not start with "HS" (Malformed), or one whose payload
  // is longer than `max_payload` (TooLarge).
  State Check(std::uint64_t max_payload) const;
  // The header at the front (REQUIRES: at least kHeaderBytes buffered and
  // not Malformed).
  Header Front() const;
  // Takes the message at the front (REQUIRES: Check() gave Complete).
  Message Take();
  // The bytes held, for an error report.
  std::string_view Held() const { return std::string_view(bytes_.get() + start_, end_ - start_); }

 private:
  static constexpr std::size_t kMinimumRoom = 16 * 1024;

  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_ = 0;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

}  // namespace multitone::hislip
