#include "output/atomic_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace multitone {
namespace {

std::string Reason(const std::string& what, const std::string& path) {
  return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::string WriteFileAtomically(const std::string& path, std::string_view content) {
  if (path == "-") {
    if (!WriteAll(STDOUT_FILENO, content)) return Reason("write to", "standard output");
    return {};
  }
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Reason("create", temporary);
  if (!WriteAll(fd, content) || ::fsync(fd) != 0) {
    const std::string reason = Reason("write", temporary);
    ::close(fd);
    ::unlink(temporary.c_str());
    return reason;
  }
  if (::close(fd) != 0) {
    const std::string reason = Reason("write", temporary);
    ::unlink(temporary.c_str());
    return reason;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = Reason("rename " + temporary + " to", path);
    ::unlink(temporary.c_str());
    return reason;
  }
  return {};
}

}  // namespace multitone
