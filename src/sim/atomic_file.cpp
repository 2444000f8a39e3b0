#include "sim/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace multitone::sim {
namespace {

std::string Reason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

}  // namespace

std::string WriteFileAtomically(const std::string& path, std::string_view content) {
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return Reason(temporary, errno);
  errno = 0;
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  int error = errno;
  const bool closed = std::fclose(file) == 0;
  if (error == 0) error = errno;
  std::string reason;
  if (!written || !closed) {
    reason = Reason(temporary, error != 0 ? error : EIO);
  } else if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    reason = Reason(path, errno);
  }
  if (!reason.empty()) std::remove(temporary.c_str());
  return reason;
}

std::string WhyFileCannotBeWritten(const std::string& path) {
  if (path.empty()) return "empty file name";
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return Reason(path, EISDIR);
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return Reason(path, errno);
  return "";
}

}  // namespace multitone::sim
