#include "link/stream_transport.h"

#include <optional>

#include "common/run_error.h"
#include "link/named_text.h"
#include "link/reply_reader.h"

namespace multitone {
namespace {

class StreamTransport : public Transport {
 public:
  StreamTransport(StreamConnector connect, std::chrono::milliseconds timeout, char terminator)
      : connect_(std::move(connect)), timeout_(timeout), terminator_(terminator) {}

  void Initialize(std::string_view) override {
    stream_ = connect_(Deadline::After(timeout_));
    reader_.emplace(*stream_, terminator_);
  }

  void Write(std::string_view text) override {
    const Deadline deadline = Deadline::After(timeout_);
    SendLine(text, deadline, "writing " + Named(text));
    last_written_ = Named(text);
  }

  std::string Read() override {
    const Deadline deadline = Deadline::After(timeout_);
    return Reader().ReadLine(deadline, "reply to " + last_written_);
  }

  std::vector<float> ReadBlock(std::string_view query) override {
    const Deadline deadline = Deadline::After(timeout_);
    const std::string what = "block for " + Named(query);
    SendLine(query, deadline, what);
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

  // The one place where the line end is added: the text and one terminator, handed
  // to the stream as one piece.
  void SendLine(std::string_view text, Deadline deadline, const std::string& what) {
    Reader();
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text);
    line += terminator_;
    try {
      stream_->Send(line, deadline);
    } catch (const RunError& error) {
      throw RunError(error.Number(), what + ": " + error.Description());
    }
  }

  StreamConnector connect_;
  std::chrono::milliseconds timeout_;
  char terminator_;
  std::unique_ptr<ByteStream> stream_;
  std::optional<ReplyReader> reader_;
  std::string last_written_;  // as Named() shows it
};

}  // namespace

std::unique_ptr<Transport> MakeStreamTransport(StreamConnector connect, std::chrono::milliseconds timeout,
                                               char terminator) {
  return std::make_unique<StreamTransport>(std::move(connect), timeout, terminator);
}

}  // namespace multitone
