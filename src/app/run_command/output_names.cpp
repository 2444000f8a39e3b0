#include "app/run_command/output_names.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/iso_time.h"

namespace multitone {

std::string UnitFileIn(const std::string& folder, const UnitResult& unit, std::string_view extension) {
  std::string name = unit.serial.empty() ? "unit" : unit.serial;
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (!plain) c = '_';
  }
  name += '-';
  for (const char c : IsoTimeUtc(unit.started_at)) {
    if (c != '-' && c != ':') name += c;
  }
  name += extension;
  return (std::filesystem::path(folder) / name).string();
}

std::string FolderProblem(const std::string& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    return folder + ": " + (error ? error.message() : std::string("not a folder"));
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return folder + ": " + std::strerror(errno);
  return "";
}

}  // namespace multitone
