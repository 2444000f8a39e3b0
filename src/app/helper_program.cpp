#include "app/helper_program.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

namespace multitone {
namespace {

bool IsProgram(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

// The folder of the running executable, or an empty path when it is unknown.
std::filesystem::path OwnFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

}  // namespace

std::string FindHelperProgram(std::string_view name) {
  if (const std::filesystem::path folder = OwnFolder(); !folder.empty()) {
    if (const auto beside = folder / name; IsProgram(beside)) return beside.string();
  }
  if (const auto installed = std::filesystem::path(MULTITONE_LIBEXEC_DIR) / name; IsProgram(installed)) {
    return installed.string();
  }
  return "";
}

int RunHelperProgram(std::string_view name, int argc, const char* const* argv) {
  const std::string path = FindHelperProgram(name);
  if (path.empty()) {
    std::cerr << "multitone: cannot find " << name << " beside "
              << (OwnFolder().empty() ? "multitone" : OwnFolder().string()) << " nor in "
              << MULTITONE_LIBEXEC_DIR << '\n';
    return 1;
  }
  std::vector<char*> args;
  args.push_back(const_cast<char*>(path.c_str()));
  for (int i = 1; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
  args.push_back(nullptr);
  std::cout.flush();
  ::execv(path.c_str(), args.data());
  std::cerr << "multitone: cannot run " << path << ": " << std::strerror(errno) << '\n';
  return 1;
}

}  // namespace multitone
