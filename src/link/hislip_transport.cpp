#include "link/hislip_transport.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "common/run_error.h"
#include "link/block_decoder.h"
#include "link/hislip_channel.h"
#include "link/named_text.h"
#include "link/reply_reader.h"
#include "link/tcp_transport.h"
#include "link/text_message.h"

namespace multitone {
namespace {

using hislip::Message;
using hislip::Type;

// The vendor id this client gives in Initialize.
constexpr std::uint32_t kVendorId = ('M' << 8) | 'T';

[[noreturn]] void Fail(const std::string& problem) { throw RunError(ErrorNumber::AnalyzerOperationFailed, problem); }

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string TextOf(std::string_view payload) {
  std::string text;
  for (const char c : payload.substr(0, 200)) text += c >= 0x20 && c < 0x7f ? c : '?';
  return text;
}

class HislipTransport : public Transport {
 public:
  HislipTransport(const HislipSettings& settings, StreamConnector connect)
      : settings_(settings), connect_(std::move(connect)) {}

  void Initialize(std::string_view) override {
    const Deadline deadline = Deadline::After(settings_.timeout);
    const std::string peer =
        (settings_.host.find(':') != std::string::npos ? "[" + settings_.host + "]" : settings_.host) + ":" +
        std::to_string(settings_.port);
    Guarded("opening HiSLIP session " + settings_.sub_address + " at " + peer, [&] {
      Open(deadline);
      return 0;
    });
  }

  void Write(std::string_view text) override {
    const Deadline deadline = Deadline::After(settings_.timeout);
    Guarded("writing " + Named(text), [&] {
      SendMessage(text, deadline);
      return 0;
    });
    last_written_ = Named(text);
  }

  std::string Read() override {
    const Deadline deadline = Deadline::After(settings_.timeout);
    const std::string what = "reply to " + last_written_;
    std::string gathered;
    return TextOfMessage(
        std::string(Guarded(what, [&] { return ReceiveMessage(deadline, kMaxReplyBytes + 1, gathered); })), what);
  }

  std::vector<float> ReadBlock(std::string_view query) override {
    const Deadline deadline = Deadline::After(settings_.timeout);
    const std::string what = "block for " + Named(query);
    last_written_ = Named(query);
    std::string gathered;
    const std::string_view message = Guarded(what, [&] {
      SendMessage(query, deadline);
      return ReceiveMessage(deadline, kMaxBlockBytes + 16, gathered);
    });
    return DecodeBlockMessage(message, what);
  }

  // The session ends with its connections, and the server releases its lock
  // then: nothing is sent.
  void Close() override {
    async_.reset();
    sync_.reset();
  }

  std::string Peer() const override {
    if (!async_) return "";
    return "HiSLIP " + hislip::VersionText(version_) + ", session " + std::to_string(session_) + ", " +
           (overlapped_ ? "overlapped" : "synchronized") + " mode, messages up to " + std::to_string(server_max_) +
           " bytes";
  }

 private:
  // Runs one operation's exchange: any failure becomes RunError 440 naming
  // the operation; a wait that ran out first clears the analyzer.
  template <typename Body>
  auto Guarded(const std::string& what, Body body) -> decltype(body()) {
    if (broken_) Fail(what + ": the link is not open");
    try {
      return body();
    } catch (const HislipTimeout& timeout) {
      Fail(what + ": " + timeout.Description() + Recover());
    } catch (const RunError& error) {
      broken_ = true;
      throw RunError(error.Number(), what + ": " + error.Description());
    }
  }

  void Open(Deadline deadline) {
    sync_.emplace(connect_(deadline), "sync", settings_.trace, settings_.max_message);
    sync_->Send(Type::Initialize, 0, std::uint32_t{hislip::kVersion} << 16 | kVendorId, settings_.sub_address,
                deadline);
    const Message initialized = Expect(*sync_, Type::InitializeResponse, deadline);
    const auto offered = static_cast<std::uint16_t>(initialized.header.parameter >> 16);
    if (offered >> 8 < 1 || offered >> 8 > 2) {
      Fail("the analyzer answered with HiSLIP version " + hislip::VersionText(offered) +
           "; this link speaks 1.x and 2.x");
    }
    version_ = std::min(offered, hislip::kVersion);
    session_ = static_cast<std::uint16_t>(initialized.header.parameter & 0xffff);
    overlapped_ = (initialized.header.control & hislip::kPreferOverlapped) != 0;

    // The asynchronous channel's three requests leave one after the other,
    // and their answers come back in order: one wait instead of three. The
    // exclusive lock is waited for at most three quarters of what is left,
    // so that a refusal arrives in time to be reported as one.
    async_.emplace(connect_(deadline), "async", settings_.trace, settings_.max_message);
    const int lock_wait = deadline.RemainingMs() / 4 * 3;
    async_->Send(Type::AsyncInitialize, 0, session_, {}, deadline);
    async_->Send(Type::AsyncMaximumMessageSize, 0, 0, hislip::SizePayload(settings_.max_message), deadline);
    async_->Send(Type::AsyncLock, hislip::kLockRequest, static_cast<std::uint32_t>(lock_wait), {}, deadline);
    Expect(*async_, Type::AsyncInitializeResponse, deadline);
    const Message sized = Expect(*async_, Type::AsyncMaximumMessageSizeResponse, deadline);
    const std::optional<std::uint64_t> size = hislip::SizeOfPayload(sized.payload);
    if (!size) Fail("AsyncMaximumMessageSizeResponse with " + std::to_string(sized.payload.size()) + " bytes, not 8");
    if (*size <= hislip::kHeaderBytes) {
      Fail("the analyzer takes messages of at most " + std::to_string(*size) + " bytes, no room for a command");
    }
    server_max_ = *size;
    const Message locked = Expect(*async_, Type::AsyncLockResponse, deadline);
    if (locked.header.control == hislip::kLockFailed) {
      Fail("the analyzer is locked by another client (no exclusive lock within " + std::to_string(lock_wait) +
           " ms)");
    }
    if (locked.header.control != hislip::kLockGranted) {
      Fail("the analyzer refused the exclusive lock (AsyncLockResponse " + std::to_string(locked.header.control) +
           ")");
    }
    if (overlapped_) Clear(deadline);
    established_ = true;
  }

  // The device-clear handshake: the analyzer drops what it holds of this
  // session's messages and replies; both sides agree on synchronized mode
  // (or the analyzer keeps overlapped mode) and start the MessageIDs over.
  void Clear(Deadline deadline) {
    async_->Send(Type::AsyncDeviceClear, 0, 0, {}, deadline);
    Expect(*async_, Type::AsyncDeviceClearAcknowledge, deadline);
    sync_->Send(Type::DeviceClearComplete, 0, 0, {}, deadline);
    for (;;) {
      const Message message = sync_->Receive(deadline);
      if (message.type() == Type::DeviceClearAcknowledge) {
        overlapped_ = (message.header.control & hislip::kPreferOverlapped) != 0;
        break;
      }
      if (message.type() == Type::Data || message.type() == Type::DataEnd || message.type() == Type::Interrupted) {
        continue;  // of the exchange being cleared
      }
      Unexpected(*sync_, message, "DeviceClearAcknowledge", deadline);
    }
    next_id_ = hislip::kFirstMessageId;
    rmt_delivered_ = false;
  }

  // After a wait ran out: the status byte and a device clear, within the
  // timeout again; what came of them, for the error message.
  std::string Recover() {
    if (!established_) {
      broken_ = true;
      return "";
    }
    if (sync_->Torn() || async_->Torn()) {
      broken_ = true;
      return "; no device clear: a message to the analyzer was cut short";
    }
    const Deadline deadline = Deadline::After(settings_.timeout);
    try {
      async_->Send(Type::AsyncStatusQuery, rmt_delivered_ ? hislip::kRmtDelivered : 0, next_id_ - 2, {}, deadline);
      const Message status = Expect(*async_, Type::AsyncStatusResponse, deadline);
      const std::string status_byte = Hex(status.header.control, 2);
      Clear(deadline);
      return "; status byte " + status_byte + "; device clear done";
    } catch (const RunError& error) {
      broken_ = true;
      return "; device clear failed: " + error.Description();
    }
  }

  void SendMessage(std::string_view text, Deadline deadline) {
    if (!sync_) Fail("the link is not open");
    const std::size_t piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(server_max_ - hislip::kHeaderBytes, text.size() == 0 ? 1 : text.size()));
    std::size_t sent = 0;
    do {
      const std::size_t size = std::min(piece, text.size() - sent);
      const bool last = sent + size == text.size();
      const std::uint8_t control = rmt_delivered_ ? hislip::kRmtDelivered : 0;
      rmt_delivered_ = false;
      last_end_id_ = next_id_;
      sync_->Send(last ? Type::DataEnd : Type::Data, control, next_id_, text.substr(sent, size), deadline);
      next_id_ += 2;
      sent += size;
    } while (sent < text.size());
  }

  // The reply to the last message: Data payloads up to a DataEND. A reply
  // of one message is its payload as received (valid until the next
  // receive); one of several is gathered in `gathered`.
  std::string_view ReceiveMessage(Deadline deadline, std::size_t limit, std::string& gathered) {
    if (!sync_) Fail("the link is not open");
    gathered.clear();
    for (;;) {
      const Message m = sync_->Receive(deadline);
      switch (m.type()) {
        case Type::Data:
        case Type::DataEnd:
          // In overlapped mode a reply names the message it answers; one to
          // an earlier message is not this one's.
          if (overlapped_ && m.header.parameter != last_end_id_) continue;
          if (gathered.size() + m.payload.size() > limit) {
            Fail("message longer than " + std::to_string(limit - 1) + " bytes");
          }
          if (m.type() == Type::DataEnd) {
            rmt_delivered_ = true;
            if (gathered.empty()) return m.payload;
          }
          gathered.append(m.payload);
          if (m.type() == Type::Data) continue;
          return gathered;
        case Type::Interrupted:
          gathered.clear();  // what came before belonged to an interrupted reply
          continue;
        default: Unexpected(*sync_, m, "Data or DataEND", deadline);
      }
    }
  }

  // The next message on `channel` that is not an announcement, which must
  // be of `type`.
  Message Expect(HislipChannel& channel, Type type, Deadline deadline) {
    for (;;) {
      const Message m = channel.Receive(deadline);
      if (m.type() == type) return m;
      if (m.type() == Type::AsyncServiceRequest || m.type() == Type::AsyncInterrupted) continue;
      Unexpected(channel, m, hislip::TypeName(static_cast<std::uint8_t>(type)), deadline);
    }
  }

  // A message that is not the one awaited: the analyzer's error, or an
  // answer out of turn. A message type the link does not know is answered
  // with Error and passed over, as the protocol asks.
  void Unexpected(HislipChannel& channel, const Message& m, const std::string& awaited, Deadline deadline) {
    const std::uint8_t code = m.header.control;
    switch (m.type()) {
      case Type::FatalError:
        Fail("the analyzer ended the session with HiSLIP fatal error " + std::to_string(code) + " (" +
             std::string(hislip::FatalMeaning(code)) + "): " + TextOf(m.payload));
      case Type::Error:
        Fail("the analyzer reported HiSLIP error " + std::to_string(code) + " (" +
             std::string(hislip::ErrorMeaning(code)) + "): " + TextOf(m.payload));
      default: break;
    }
    if (m.header.type > hislip::kLastKnownType) {
      const bool vendor = m.header.type >= hislip::kFirstVendorType;
      const auto error =
          vendor ? hislip::ErrorCode::UnrecognizedVendorMessage : hislip::ErrorCode::UnrecognizedMessageType;
      channel.Send(Type::Error, static_cast<std::uint8_t>(error), 0,
                   hislip::ErrorMeaning(static_cast<std::uint8_t>(error)), deadline);
      return;
    }
    Fail("expected " + awaited + ", got " + hislip::TypeName(m.header.type));
  }

  HislipSettings settings_;
  StreamConnector connect_;
  std::optional<HislipChannel> sync_;
  std::optional<HislipChannel> async_;
  std::uint16_t version_ = hislip::kVersion;
  std::uint16_t session_ = 0;
  bool overlapped_ = false;
  std::uint64_t server_max_ = 0;
  std::uint32_t next_id_ = hislip::kFirstMessageId;
  std::uint32_t last_end_id_ = hislip::kFirstMessageId;
  bool rmt_delivered_ = false;
  bool established_ = false;  // both channels open, the lock held
  bool broken_ = false;
  std::string last_written_;
};

}  // namespace

std::unique_ptr<Transport> OpenHislipTransport(const HislipSettings& settings) {
  return std::make_unique<HislipTransport>(settings, TcpConnector(settings.host, settings.port, settings.timeout));
}

}  // namespace multitone
