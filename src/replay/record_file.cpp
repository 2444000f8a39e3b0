#include "replay/record_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "link/analyzer_link.h"
#include "replay/base64.h"

namespace multitone {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kRecordKind = "multitone-link-record";
constexpr std::size_t kLargestRecord = 64u << 20;
constexpr std::array<int, 7> kErrorNumbers = {5, 6, 9, 11, 13, 429, 440};

static_assert(std::endian::native == std::endian::little, "blocks are kept as little-endian floats");

bool PlainAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Plain ASCII as a JSON string (readable, diffable); other bytes in base64.
void PutBytes(Json& line, const std::string& name, std::string_view bytes) {
  if (PlainAscii(bytes)) {
    line[name] = std::string(bytes);
  } else {
    line[name + "_base64"] = Base64Encode(bytes);
  }
}

[[noreturn]] void Fail(std::size_t line, const std::string& what) {
  throw RecordError("line " + std::to_string(line) + ": " + what);
}

const Json& Field(const Json& object, const std::string& name, std::size_t line) {
  const auto it = object.find(name);
  if (it == object.end()) Fail(line, "no \"" + name + "\"");
  return *it;
}

std::string TextField(const Json& object, const std::string& name, std::size_t line) {
  const Json& value = Field(object, name, line);
  if (!value.is_string()) Fail(line, "\"" + name + "\" is not a string");
  return value.get<std::string>();
}

std::int64_t CountField(const Json& object, const std::string& name, std::size_t line) {
  const Json& value = Field(object, name, line);
  if (!value.is_number_integer() || value.get<std::int64_t>() < 0) {
    Fail(line, "\"" + name + "\" is not a whole number of at least 0");
  }
  return value.get<std::int64_t>();
}

// A text kept by PutBytes, under its name or in base64.
std::string BytesField(const Json& object, const std::string& name, std::size_t line) {
  if (object.contains(name)) return TextField(object, name, line);
  if (object.contains(name + "_base64")) {
    const auto bytes = Base64Decode(TextField(object, name + "_base64", line));
    if (!bytes) Fail(line, "\"" + name + "_base64\" is not base64");
    return *bytes;
  }
  Fail(line, "no \"" + name + "\"");
}

Json EncodeOperation(const LinkOperation& operation, std::size_t number) {
  Json line;
  line["op"] = number;
  line["call"] = LinkCallName(operation.call);
  line["t_us"] = operation.start_us;
  line["took_us"] = operation.took_us;
  switch (operation.call) {
    case LinkCall::Initialize:
    case LinkCall::Write:
      PutBytes(line, "text", operation.text);
      break;
    case LinkCall::Read:
      if (!operation.error) PutBytes(line, "reply", operation.reply);
      break;
    case LinkCall::ReadBlock:
      PutBytes(line, "text", operation.text);
      if (!operation.error) {
        line["values"] = operation.block.size();
        line["block_base64"] = Base64Encode(std::string_view(
            reinterpret_cast<const char*>(operation.block.data()), operation.block.size() * sizeof(float)));
      }
      break;
    case LinkCall::Open:
    case LinkCall::Close:
      break;
  }
  if (operation.error) {
    Json error;
    error["number"] = operation.error->number;
    PutBytes(error, "text", operation.error->description);
    line["error"] = std::move(error);
  }
  return line;
}

LinkOperation DecodeOperation(const Json& line, std::size_t number, std::size_t at) {
  if (CountField(line, "op", at) != static_cast<std::int64_t>(number)) {
    Fail(at, "operation " + std::to_string(number) + " expected, found \"op\": " + line["op"].dump());
  }
  LinkOperation operation;
  const std::string call = TextField(line, "call", at);
  const auto known = LinkCallNamed(call);
  if (!known) Fail(at, "unknown call \"" + call + "\"");
  operation.call = *known;
  operation.start_us = CountField(line, "t_us", at);
  operation.took_us = CountField(line, "took_us", at);
  if (line.contains("error")) {
    const Json& error = line["error"];
    if (!error.is_object()) Fail(at, "\"error\" is not an object");
    const std::int64_t error_number = CountField(error, "number", at);
    if (std::find(kErrorNumbers.begin(), kErrorNumbers.end(), error_number) == kErrorNumbers.end()) {
      Fail(at, "unknown error number " + std::to_string(error_number));
    }
    operation.error = RecordedError{static_cast<int>(error_number), BytesField(error, "text", at)};
  }
  switch (operation.call) {
    case LinkCall::Initialize:
    case LinkCall::Write:
      operation.text = BytesField(line, "text", at);
      break;
    case LinkCall::Read:
      if (!operation.error) operation.reply = BytesField(line, "reply", at);
      break;
    case LinkCall::ReadBlock: {
      operation.text = BytesField(line, "text", at);
      if (operation.error) break;
      const std::int64_t values = CountField(line, "values", at);
      const auto bytes = Base64Decode(TextField(line, "block_base64", at));
      if (!bytes) Fail(at, "\"block_base64\" is not base64");
      if (bytes->size() != static_cast<std::size_t>(values) * sizeof(float)) {
        Fail(at, "a block of " + std::to_string(values) + " values holds " + std::to_string(bytes->size()) +
                     " bytes");
      }
      operation.block.resize(static_cast<std::size_t>(values));
      if (!bytes->empty()) std::memcpy(operation.block.data(), bytes->data(), bytes->size());
      for (std::size_t i = 0; i < operation.block.size(); ++i) {
        if (!std::isfinite(operation.block[i])) Fail(at, "block value " + std::to_string(i) + " is not finite");
      }
      break;
    }
    case LinkCall::Open:
      if (!operation.error || number != 1) Fail(at, "an \"open\" is only recorded as the failure that ends a run");
      break;
    case LinkCall::Close:
      break;
  }
  return operation;
}

RecordHeader DecodeHeader(const Json& line) {
  const auto kind = line.find("record");
  if (kind == line.end() || !kind->is_string() || kind->get<std::string>() != kRecordKind) {
    Fail(1, "not a multitone link record (no \"record\": \"" + std::string(kRecordKind) + "\")");
  }
  const std::int64_t version = CountField(line, "version", 1);
  if (version > kRecordVersion) {
    Fail(1, "format version " + std::to_string(version) + " is newer than this program reads (" +
                std::to_string(kRecordVersion) + ")");
  }
  if (version < 1) Fail(1, "format version " + std::to_string(version) + " does not exist");
  RecordHeader header;
  header.program_version = TextField(line, "program_version", 1);
  header.run_id = TextField(line, "run_id", 1);
  header.started_at = TextField(line, "started_at", 1);
  header.analyzer = BytesField(line, "analyzer", 1);
  header.transport = TextField(line, "transport", 1);
  const Json& options = Field(line, "options", 1);
  if (!options.is_object()) Fail(1, "\"options\" is not an object");
  for (const auto& [name, value] : options.items()) {
    if (!value.is_string()) Fail(1, "option \"" + name + "\" is not a string");
    header.options.emplace_back(name, value.get<std::string>());
  }
  const Json& limits = Field(line, "limits", 1);
  if (limits.is_object()) {
    header.limits_file = BytesField(limits, "file", 1);
    header.limits_sha256 = TextField(limits, "sha256", 1);
  } else if (!limits.is_null()) {
    Fail(1, "\"limits\" is neither an object nor null");
  }
  if (line.contains("edited")) {
    if (!line["edited"].is_boolean()) Fail(1, "\"edited\" is neither true nor false");
    header.edited = line["edited"].get<bool>();
  }
  return header;
}

}  // namespace

std::string EncodeRecord(const LinkRecord& record) {
  const RecordHeader& header = record.header;
  Json first;
  first["record"] = kRecordKind;
  first["version"] = kRecordVersion;
  first["program_version"] = header.program_version;
  first["run_id"] = header.run_id;
  first["started_at"] = header.started_at;
  PutBytes(first, "analyzer", header.analyzer);
  first["transport"] = header.transport;
  Json options = Json::object();
  for (const auto& [name, value] : header.options) {
    options[name] = PlainAscii(value) ? value : EscapeForTrace(value);
  }
  first["options"] = std::move(options);
  if (header.limits_file.empty() && header.limits_sha256.empty()) {
    first["limits"] = nullptr;
  } else {
    Json limits;
    PutBytes(limits, "file", header.limits_file);
    limits["sha256"] = header.limits_sha256;
    first["limits"] = std::move(limits);
  }
  if (header.edited) first["edited"] = true;
  std::string out = first.dump() + '\n';
  for (std::size_t i = 0; i < record.operations.size(); ++i) {
    out += EncodeOperation(record.operations[i], i + 1).dump();
    out += '\n';
  }
  Json last;
  last["end"] = true;
  last["operations"] = record.operations.size();
  out += last.dump() + '\n';
  return out;
}

LinkRecord DecodeRecord(std::string_view text) {
  LinkRecord record;
  std::size_t at = 0;
  bool ended = false;
  while (!text.empty()) {
    ++at;
    const auto end = text.find('\n');
    if (end == std::string_view::npos) Fail(at, "the line has no line end: the record is cut short");
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (ended) Fail(at, "a line after the end line");
    Json line;
    try {
      line = Json::parse(raw);
    } catch (const Json::exception& error) {
      Fail(at, std::string("not JSON: ") + error.what());
    }
    if (!line.is_object()) Fail(at, "not a JSON object");
    if (at == 1) {
      record.header = DecodeHeader(line);
    } else if (line.contains("end")) {
      const std::int64_t count = CountField(line, "operations", at);
      if (count != static_cast<std::int64_t>(record.operations.size())) {
        Fail(at, "the end line counts " + std::to_string(count) + " operations, the record holds " +
                     std::to_string(record.operations.size()));
      }
      ended = true;
    } else {
      try {
        record.operations.push_back(DecodeOperation(line, record.operations.size() + 1, at));
      } catch (const Json::exception& error) {
        Fail(at, error.what());
      }
    }
  }
  if (at == 0) throw RecordError("the record is empty");
  if (!ended) {
    throw RecordError("no end line after operation " + std::to_string(record.operations.size()) +
                      ": the record is cut short");
  }
  return record;
}

LinkRecord ReadRecordFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RecordError(path + ": cannot be opened: " + std::strerror(errno));
  std::string text;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kLargestRecord) throw RecordError(path + ": larger than any record (over 64 MiB)");
  }
  if (in.bad()) throw RecordError(path + ": cannot be read: " + std::strerror(errno));
  try {
    return DecodeRecord(text);
  } catch (const RecordError& error) {
    throw RecordError(path + ": " + error.what());
  }
}

}  // namespace multitone
