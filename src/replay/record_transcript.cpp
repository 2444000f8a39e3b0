#include "replay/record_transcript.h"

#include <cstdio>

#include "link/analyzer_link.h"

namespace multitone {
namespace {

std::string Milliseconds(std::int64_t us) {
  char text[32];
  std::snprintf(text, sizeof text, "%10.3f ms  ", static_cast<double>(us) / 1000.0);
  return text;
}

}  // namespace

std::string TranscriptOf(const LinkOperation& operation) {
  const std::string at = Milliseconds(operation.start_us);
  std::string out;
  switch (operation.call) {
    case LinkCall::Open: out = at + "= Open\n"; break;
    case LinkCall::Initialize: out = at + "= Initialize " + EscapeForTrace(operation.text) + "\n"; break;
    case LinkCall::Write: out = at + "> " + EscapeForTrace(operation.text) + "\n"; break;
    case LinkCall::Read:
      if (!operation.error) out = at + "< " + EscapeForTrace(operation.reply) + "\n";
      break;
    case LinkCall::ReadBlock:
      out = at + "> " + EscapeForTrace(operation.text) + "\n";
      if (!operation.error) {
        out += Milliseconds(operation.start_us + operation.took_us) + "< block of " +
               std::to_string(operation.block.size()) + " values\n";
      }
      break;
    case LinkCall::Close: out = at + "= Close\n"; break;
  }
  if (operation.error) {
    out += Milliseconds(operation.start_us + operation.took_us) + "! error " + std::to_string(operation.error->number) +
           ": " + EscapeForTrace(operation.error->description) + "\n";
  }
  return out;
}

std::string TranscriptOf(const LinkRecord& record) {
  const RecordHeader& header = record.header;
  std::string out = "run " + header.run_id + ", started " + header.started_at + " by multitone " +
                    header.program_version + "\nanalyzer " + EscapeForTrace(header.analyzer) + " (" +
                    header.transport + ")\n";
  for (const auto& [name, value] : header.options) out += "option " + name + " = " + EscapeForTrace(value) + "\n";
  if (!header.limits_file.empty()) {
    out += "limits " + EscapeForTrace(header.limits_file) + " sha256 " + header.limits_sha256 + "\n";
  }
  if (header.edited) out += "edited by hand\n";
  out += std::to_string(record.operations.size()) + " operations:\n";
  for (const LinkOperation& operation : record.operations) out += TranscriptOf(operation);
  return out;
}

}  // namespace multitone
