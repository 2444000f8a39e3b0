#include "link/hislip_message.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace multitone::hislip {
namespace {

constexpr const char* kTypeNames[] = {
    "Initialize",
    "InitializeResponse",
    "FatalError",
    "Error",
    "AsyncLock",
    "AsyncLockResponse",
    "Data",
    "DataEND",
    "DeviceClearComplete",
    "DeviceClearAcknowledge",
    "AsyncRemoteLocalControl",
    "AsyncRemoteLocalResponse",
    "Trigger",
    "Interrupted",
    "AsyncInterrupted",
    "AsyncMaximumMessageSize",
    "AsyncMaximumMessageSizeResponse",
    "AsyncInitialize",
    "AsyncInitializeResponse",
    "AsyncDeviceClear",
    "AsyncServiceRequest",
    "AsyncStatusQuery",
    "AsyncStatusResponse",
    "AsyncDeviceClearAcknowledge",
    "AsyncLockInfo",
    "AsyncLockInfoResponse",
    "GetDescriptors",
    "GetDescriptorsResponse",
    "StartTLS",
    "AsyncStartTLS",
    "AsyncStartTLSResponse",
    "EndTLS",
    "AsyncEndTLS",
    "AsyncEndTLSResponse",
    "GetSaslMechanismList",
    "GetSaslMechanismListResponse",
    "AuthenticationStart",
    "AuthenticationExchange",
    "AuthenticationResult",
};
static_assert(std::size(kTypeNames) == kLastKnownType + 1);

void PutBigEndian(char* at, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    at[i] = static_cast<char>(value & 0xff);
    value >>= 8;
  }
}

std::uint64_t BigEndian(const char* at, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | static_cast<unsigned char>(at[i]);
  return value;
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// A short text from the other side, quoted, unprintable bytes as '?'.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kShown = 80;
  std::string out = "\"";
  for (const char c : text.substr(0, kShown)) out += c >= 0x20 && c < 0x7f ? c : '?';
  out += text.size() > kShown ? "\"..." : "\"";
  return out;
}

std::string VendorText(std::uint32_t parameter) {
  const char id[2] = {static_cast<char>(parameter >> 8 & 0xff), static_cast<char>(parameter & 0xff)};
  return Quoted(std::string_view(id, 2));
}

std::string_view Mode(std::uint8_t control) {
  return (control & kPreferOverlapped) != 0 ? "overlapped" : "synchronized";
}

std::string_view LockResult(std::uint8_t control) {
  switch (control) {
    case kLockFailed: return "failed";
    case kLockGranted: return "success";
    case kSharedLockReleased: return "shared lock released";
    case kLockError: return "error";
    default: return "unknown result";
  }
}

}  // namespace

void AppendMessage(std::string& out, Type type, std::uint8_t control, std::uint32_t parameter,
                   std::string_view payload) {
  const std::size_t at = out.size();
  out.resize(at + kHeaderBytes);
  char* header = out.data() + at;
  header[0] = 'H';
  header[1] = 'S';
  header[2] = static_cast<char>(type);
  header[3] = static_cast<char>(control);
  PutBigEndian(header + 4, parameter, 4);
  PutBigEndian(header + 8, payload.size(), 8);
  out.append(payload);
}

std::string SizePayload(std::uint64_t size) {
  std::string payload(8, '\0');
  PutBigEndian(payload.data(), size, 8);
  return payload;
}

std::optional<std::uint64_t> SizeOfPayload(std::string_view payload) {
  if (payload.size() != 8) return std::nullopt;
  return BigEndian(payload.data(), 8);
}

std::string VersionText(std::uint16_t version) {
  return std::to_string(version >> 8) + "." + std::to_string(version & 0xff);
}

std::string TypeName(std::uint8_t type) {
  if (type <= kLastKnownType) return kTypeNames[type];
  if (type >= kFirstVendorType) return "vendor message " + std::to_string(type);
  return "message type " + std::to_string(type);
}

std::string_view ErrorMeaning(std::uint8_t code) {
  switch (static_cast<ErrorCode>(code)) {
    case ErrorCode::Unidentified: return "unidentified error";
    case ErrorCode::UnrecognizedMessageType: return "unrecognized message type";
    case ErrorCode::UnrecognizedControlCode: return "unrecognized control code";
    case ErrorCode::UnrecognizedVendorMessage: return "unrecognized vendor-defined message";
    case ErrorCode::MessageTooLarge: return "message too large";
  }
  return "unknown";
}

std::string_view FatalMeaning(std::uint8_t code) {
  switch (static_cast<FatalCode>(code)) {
    case FatalCode::Unidentified: return "unidentified error";
    case FatalCode::PoorlyFormedHeader: return "poorly formed message header";
    case FatalCode::ChannelsNotEstablished: return "connection used without both channels established";
    case FatalCode::InvalidInitialization: return "invalid initialization sequence";
    case FatalCode::TooManyClients: return "maximum number of clients exceeded";
  }
  return code == 5 ? "secure connection failed" : "unknown";
}

std::string Describe(const Message& message) {
  const Header& h = message.header;
  std::string out = TypeName(h.type);
  const auto bytes = [&] { return std::to_string(h.length) + (h.length == 1 ? " byte" : " bytes"); };
  switch (message.type()) {
    case Type::Initialize:
      return out + " version " + VersionText(static_cast<std::uint16_t>(h.parameter >> 16)) + ", vendor " +
             VendorText(h.parameter) + ", sub-address " + Quoted(message.payload);
    case Type::InitializeResponse:
      return out + " version " + VersionText(static_cast<std::uint16_t>(h.parameter >> 16)) + ", session " +
             std::to_string(h.parameter & 0xffff) + ", " + std::string(Mode(h.control)) + " mode preferred";
    case Type::AsyncInitialize: return out + " session " + std::to_string(h.parameter & 0xffff);
    case Type::AsyncInitializeResponse: return out + " vendor " + VendorText(h.parameter);
    case Type::AsyncMaximumMessageSize:
    case Type::AsyncMaximumMessageSizeResponse: {
      const std::optional<std::uint64_t> size = SizeOfPayload(message.payload);
      return out + (size ? " " + std::to_string(*size) + " bytes" : ", " + bytes() + " of payload");
    }
    case Type::AsyncLock:
      if (h.control == kLockRequest) {
        return out + " request, " + (message.payload.empty() ? "exclusive" : "shared " + Quoted(message.payload)) +
               ", waiting up to " + std::to_string(h.parameter) + " ms";
      }
      return out + " release after message " + Hex32(h.parameter);
    case Type::AsyncLockResponse: return out + " " + std::string(LockResult(h.control));
    case Type::Data:
    case Type::DataEnd:
      return out + " message " + Hex32(h.parameter) + ((h.control & kRmtDelivered) != 0 ? ", RMT-delivered" : "") +
             ", " + bytes();
    case Type::DeviceClearComplete:
    case Type::DeviceClearAcknowledge:
    case Type::AsyncDeviceClearAcknowledge: return out + " " + std::string(Mode(h.control)) + " mode";
    case Type::AsyncStatusQuery:
      return out + " after message " + Hex32(h.parameter) + ((h.control & kRmtDelivered) != 0 ? ", RMT-delivered" : "");
    case Type::AsyncStatusResponse: {
      char text[8];
      std::snprintf(text, sizeof text, "0x%02X", h.control);
      return out + " status byte " + text;
    }
    case Type::Error:
      return out + " " + std::to_string(h.control) + " (" + std::string(ErrorMeaning(h.control)) + ") " +
             Quoted(message.payload);
    case Type::FatalError:
      return out + " " + std::to_string(h.control) + " (" + std::string(FatalMeaning(h.control)) + ") " +
             Quoted(message.payload);
    case Type::Interrupted:
    case Type::AsyncInterrupted: return out + " message " + Hex32(h.parameter);
    case Type::AsyncDeviceClear: return out;
    default:
      return out + ", control " + std::to_string(h.control) + ", parameter " + Hex32(h.parameter) + ", " + bytes();
  }
}

std::span<char> MessageBuffer::Space() {
  if (start_ == end_) start_ = end_ = 0;
  // Room for the rest of the message at the front at once, when its header
  // is here (and was checked), else for whatever comes.
  std::size_t bytes = kMinimumRoom;
  const std::size_t held = end_ - start_;
  if (held >= kHeaderBytes) {
    const std::uint64_t whole = kHeaderBytes + Front().length;
    if (whole > held) bytes = std::max<std::size_t>(bytes, static_cast<std::size_t>(whole - held));
  }
  if (capacity_ - end_ < bytes) {
    // Only the bytes held move, and nothing is zeroed: a run touches only
    // the memory its messages fill.
    if (capacity_ - held < bytes) {
      const std::size_t capacity = std::max(held + bytes, 2 * capacity_);
      std::unique_ptr<char[]> grown(new char[capacity]);
      if (held > 0) std::memcpy(grown.get(), bytes_.get() + start_, held);
      bytes_ = std::move(grown);
      capacity_ = capacity;
    } else {
      std::memmove(bytes_.get(), bytes_.get() + start_, held);
    }
    start_ = 0;
    end_ = held;
  }
  return std::span<char>(bytes_.get() + end_, capacity_ - end_);
}

MessageBuffer::State MessageBuffer::Check(std::uint64_t max_payload) const {
  const std::size_t held = end_ - start_;
  if (held == 0) return State::Incomplete;
  const std::size_t prologue = std::min<std::size_t>(held, 2);
  if (std::memcmp(bytes_.get() + start_, "HS", prologue) != 0) return State::Malformed;
  if (held < kHeaderBytes) return State::Incomplete;
  const Header header = Front();
  if (header.length > max_payload) return State::TooLarge;
  return held - kHeaderBytes >= header.length ? State::Complete : State::Incomplete;
}

Header MessageBuffer::Front() const {
  const char* at = bytes_.get() + start_;
  Header header;
  header.type = static_cast<std::uint8_t>(at[2]);
  header.control = static_cast<std::uint8_t>(at[3]);
  header.parameter = static_cast<std::uint32_t>(BigEndian(at + 4, 4));
  header.length = BigEndian(at + 8, 8);
  return header;
}

Message MessageBuffer::Take() {
  Message message;
  message.header = Front();
  message.payload = std::string_view(bytes_.get() + start_ + kHeaderBytes, message.header.length);
  start_ += kHeaderBytes + message.header.length;
  return message;
}

}  // namespace multitone::hislip
