#include "link/analyzer_link.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "common/run_error.h"

namespace multitone {

AnalyzerLink::AnalyzerLink(std::unique_ptr<Transport> transport, std::ostream* trace)
    : transport_(std::move(transport)), trace_(trace) {}

void AnalyzerLink::TraceLine(std::string_view marker, std::string_view text) {
  if (trace_ == nullptr) return;
  *trace_ << marker << text << '\n';
  trace_->flush();
}

void AnalyzerLink::Initialize(std::string_view text) {
  TraceLine("= Initialize ", text);
  transport_->Initialize(text);
  if (const std::string peer = transport_->Peer(); !peer.empty()) TraceLine("= ", peer);
}

void AnalyzerLink::Write(std::string_view text) {
  TraceLine("> ", text);
  transport_->Write(text);
}

std::string AnalyzerLink::Read() {
  std::string reply = transport_->Read();
  TraceLine("< ", EscapeForTrace(reply));
  return reply;
}

void AnalyzerLink::ReadBlock(std::string_view query, std::span<float> destination,
                             std::int32_t count) {
  if (count < 0 || static_cast<std::size_t>(count) > destination.size()) {
    throw RunError(ErrorNumber::IndexOutOfRange,
                   "block of " + std::to_string(count) + " values for " + std::string(query) +
                       " does not fit an array of " + std::to_string(destination.size()));
  }
  TraceLine("> ", query);
  const std::vector<float> values = transport_->ReadBlock(query);
  TraceLine("< ", "block of " + std::to_string(values.size()) + " values");
  const std::size_t stored = std::min(values.size(), static_cast<std::size_t>(count));
  std::copy_n(values.begin(), stored, destination.begin());
}

void AnalyzerLink::Close() {
  TraceLine("= Close", "");
  transport_->Close();
}

std::string EscapeForTrace(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (u >= 0x20 && u < 0x7f) {
          out += c;
        } else {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", u);
          out += hex;
        }
    }
  }
  return out;
}

}  // namespace multitone
