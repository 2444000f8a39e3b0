#include "link/gpib_controller_transport.h"

#include <algorithm>
#include <optional>

#include "common/run_error.h"
#include "link/named_text.h"
#include "link/reply_reader.h"

namespace multitone {
namespace {

constexpr char kEscape = 27;

// The text as the controller passes it on to the instrument.
std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 1);
  for (const char c : text) {
    if (c == '\r' || c == '\n' || c == kEscape || c == '+') out += kEscape;
    out += c;
  }
  out += '\n';
  return out;
}

class GpibControllerTransport : public Transport {
 public:
  GpibControllerTransport(StreamConnector connect, GpibAddress gpib, std::chrono::milliseconds timeout)
      : connect_(std::move(connect)), gpib_(gpib), timeout_(timeout) {}

  void Initialize(std::string_view) override {
    const Deadline deadline = Deadline::After(timeout_);
    const std::string what = "opening the GPIB controller";
    stream_ = connect_(deadline);
    reader_.emplace(*stream_);
    const int read_ms = static_cast<int>(std::clamp<long long>(timeout_.count(), 1, kControllerReadTimeoutMs));
    std::string address = std::to_string(gpib_.primary);
    if (gpib_.secondary >= 0) address += " " + std::to_string(96 + gpib_.secondary);
    Send("++mode 1\n++auto 0\n++eoi 1\n++eos 3\n++addr " + address + "\n++read_tmo_ms " +
             std::to_string(read_ms) + "\n++clr\n++ver\n",
         deadline, what);
    version_ = Reader().ReadLine(deadline, what + ": answer to ++ver");
    if (!version_.empty() && version_.back() == '\r') version_.pop_back();
  }

  std::string Peer() const override { return version_.empty() ? "" : "GPIB controller: " + version_; }

  void Write(std::string_view text) override {
    const Deadline deadline = Deadline::After(timeout_);
    Send(Escaped(text), deadline, "writing " + Named(text));
    last_written_ = Named(text);
  }

  std::string Read() override {
    const Deadline deadline = Deadline::After(timeout_);
    const std::string what = "reply to " + last_written_;
    Send("++read eoi\n", deadline, what);
    return Reader().ReadLine(deadline, what);
  }

  std::vector<float> ReadBlock(std::string_view query) override {
    const Deadline deadline = Deadline::After(timeout_);
    const std::string what = "block for " + Named(query);
    Send(Escaped(query) + "++read eoi\n", deadline, what);
    last_written_ = Named(query);
    return Reader().ReadBlock(deadline, what);
  }

  void Close() override {
    reader_.reset();
    stream_.reset();
  }

 private:
  ReplyReader& Reader() {
    if (!reader_) throw RunError(ErrorNumber::AnalyzerOperationFailed, "the link is not open");
    return *reader_;
  }

  void Send(const std::string& bytes, Deadline deadline, const std::string& what) {
    Reader();
    try {
      stream_->Send(bytes, deadline);
    } catch (const RunError& error) {
      throw RunError(error.Number(), what + ": " + error.Description());
    }
  }

  StreamConnector connect_;
  GpibAddress gpib_;
  std::chrono::milliseconds timeout_;
  std::unique_ptr<ByteStream> stream_;
  std::optional<ReplyReader> reader_;
  std::string last_written_;
  std::string version_;
};

}  // namespace

std::unique_ptr<Transport> OpenGpibControllerTransport(StreamConnector connect, GpibAddress gpib,
                                                       std::chrono::milliseconds timeout) {
  return std::make_unique<GpibControllerTransport>(std::move(connect), gpib, timeout);
}

}  // namespace multitone
