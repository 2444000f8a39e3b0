#include "app/setup/station_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <toml++/toml.h>

#include "common/toml_document.h"

namespace multitone {
namespace {

using Kind = StationKey::Kind;

constexpr std::array<StationKey, 13> kKeys = {{
    {"station", "--station", Kind::Text},
    {"operator", "--operator", Kind::Text},
    {"prompt", "--prompt", Kind::Text},
    {"limits", "--limits", Kind::Path},
    {"analyzer.address", "--analyzer", Kind::Text},
    {"analyzer.timeout_ms", "--timeout", Kind::Milliseconds},
    {"results.url", "--results", Kind::Text},
    {"results.spool", "--spool", Kind::Path},
    {"serve.listen", "--listen", Kind::Text},
    {"serve.token_file", "--token-file", Kind::Path},
    {"outputs.json", "--json-dir", Kind::Path},
    {"outputs.junit", "--junit-dir", Kind::Path},
    {"outputs.report", "--report-dir", Kind::Path},
}};

constexpr std::array<std::string_view, 4> kTables = {"analyzer", "results", "serve", "outputs"};
constexpr long long kMaxMilliseconds = 24LL * 3600 * 1000;

std::string Where(const std::string& file, const toml::source_region& where) {
  std::ostringstream text;
  text << file << ':' << where.begin.line << ':' << where.begin.column;
  return text.str();
}

[[noreturn]] void Fail(const std::string& file, const toml::source_region& where, const std::string& what) {
  throw StationFileError(Where(file, where) + ": " + what);
}

// The keys a table may hold, for the error that names an unknown one.
std::string KeysOf(std::string_view table) {
  std::string names;
  for (const StationKey& key : kKeys) {
    const std::string_view name = key.key;
    const std::size_t dot = name.find('.');
    const bool inside = dot != std::string_view::npos && name.substr(0, dot) == table;
    if (table.empty() ? dot != std::string_view::npos : !inside) continue;
    if (!names.empty()) names += ", ";
    names += std::string(table.empty() ? name : name.substr(dot + 1));
  }
  if (table.empty()) {
    for (std::string_view t : kTables) names += ", [" + std::string(t) + "]";
  }
  return names;
}

std::string ValueOf(const std::string& file, const StationKey& key, const toml::node& node) {
  const std::string name(key.key);
  if (key.kind == Kind::Milliseconds) {
    const auto* number = node.as_integer();
    if (number == nullptr) Fail(file, node.source(), name + " must be a whole number of milliseconds");
    if (number->get() < 1 || number->get() > kMaxMilliseconds) {
      Fail(file, node.source(), name + " must be between 1 and " + std::to_string(kMaxMilliseconds));
    }
    return std::to_string(number->get());
  }
  const auto* text = node.as_string();
  if (text == nullptr) Fail(file, node.source(), name + " must be a text in quotes");
  std::string value = text->get();
  if (value.empty()) Fail(file, node.source(), name + " must not be empty");
  if (key.kind == Kind::Path) {
    const std::filesystem::path path(value);
    if (path.is_relative()) {
      value = (std::filesystem::path(file).parent_path() / path).lexically_normal().string();
    }
  }
  return value;
}

const StationKey* Find(std::string_view name) {
  const auto* key = std::find_if(kKeys.begin(), kKeys.end(), [&](const StationKey& k) { return k.key == name; });
  return key == kKeys.end() ? nullptr : key;
}

void Unknown(const std::string& file, const toml::key& key, std::string_view table) {
  const std::string name(key.str());
  if (name == "token") {
    Fail(file, key.source(),
         "the token itself never goes in the station file: put it in a file readable only by the "
         "station and name that file in serve.token_file");
  }
  const std::string in = table.empty() ? "" : " in [" + std::string(table) + "]";
  Fail(file, key.source(), "unknown key '" + name + "'" + in + " (expected " + KeysOf(table) + ")");
}

}  // namespace

std::span<const StationKey> StationKeys() { return kKeys; }

std::string DefaultStationFilePath() {
  if (const char* chosen = std::getenv("MULTITONE_STATION_FILE")) return chosen;
  const std::string installed = "/etc/multitone/station.toml";
  std::error_code error;
  return std::filesystem::exists(installed, error) ? installed : "";
}

StationFile ParseStationFile(std::string_view content, const std::string& file) {
  toml::table root;
  try {
    root = ParseTomlDocument(content, file);
  } catch (const toml::parse_error& error) {
    Fail(file, error.source(), std::string(error.description()));
  }

  std::vector<StationValue> found;
  const auto take = [&](const StationKey& key, const toml::node& node) {
    found.push_back({&key, ValueOf(file, key, node), Where(file, node.source())});
  };
  for (const auto& [key, node] : root) {
    const std::string_view name = key.str();
    if (std::find(kTables.begin(), kTables.end(), name) != kTables.end()) {
      const auto* table = node.as_table();
      if (table == nullptr) Fail(file, node.source(), std::string(name) + " must be a table ([" + std::string(name) + "])");
      for (const auto& [inner, value] : *table) {
        const StationKey* known = Find(std::string(name) + "." + std::string(inner.str()));
        if (known == nullptr) Unknown(file, inner, name);
        take(*known, value);
      }
    } else if (const StationKey* known = Find(name); known != nullptr) {
      take(*known, node);
    } else {
      Unknown(file, key, "");
    }
  }
  StationFile station;
  station.path = file;
  for (const StationKey& key : kKeys) {
    for (StationValue& value : found) {
      if (value.key == &key) station.values.push_back(std::move(value));
    }
  }
  return station;
}

StationFile LoadStationFile(const std::string& file) {
  if (file.empty()) return {};
  std::ifstream in(file, std::ios::binary);
  if (!in) throw StationFileError(file + ": cannot read the station file: " + std::strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw StationFileError(file + ": cannot read the station file: " + std::strerror(errno));
  return ParseStationFile(bytes.str(), file);
}

}  // namespace multitone
