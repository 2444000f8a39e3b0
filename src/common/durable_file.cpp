#include "common/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace multitone {
namespace {

std::string Reason(const std::string& what, const std::string& path, int error) {
  return "cannot " + what + " " + path + ": " + std::strerror(error);
}

// Writes all of `content`; false with errno set on the first failure. A
// write that makes no progress is ENOSPC, as the kernel would say next.
bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path a symbolic link leads to (the path itself when it is none, or
// when it dangles: then the link's target is created).
std::string Resolved(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char target[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return path;
  const std::string to(target, static_cast<std::size_t>(n));
  const std::string joined = to.front() == '/' ? to : FolderOf(path) + "/" + to;
  return Resolved(joined);
}

// `path` with its folder resolved (links, ".", ".."), as the file there is
// found whatever way it is named; the path as it is when the folder is not
// there.
std::string InResolvedFolder(const std::string& path) {
  char folder[PATH_MAX];
  if (::realpath(FolderOf(path).c_str(), folder) == nullptr) return path;
  return std::string(folder) + "/" + BaseOf(path);
}

std::string WriteThrough(const std::string& path, std::string_view content) {
  // Non-blocking open: a FIFO nobody reads is an error, not a hang.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Reason("open", path, errno == ENXIO ? EPIPE : errno);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::string reason;
  if (!WriteAll(fd, content)) reason = Reason("write", path, errno);
  if (::close(fd) != 0 && reason.empty() && errno != EINTR) reason = Reason("write", path, errno);
  return reason;
}

std::string ReplaceAtomically(const std::string& path, std::string_view content) {
  const std::string folder = FolderOf(path);
  const std::string temporary =
      folder + "/." + BaseOf(path) + ".tmp-" + std::to_string(static_cast<long>(::getpid()));
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Reason("create", temporary, errno);
  if (!WriteAll(fd, content) || ::fsync(fd) != 0) {
    const std::string reason = Reason("write", temporary, errno);
    ::close(fd);
    ::unlink(temporary.c_str());
    return reason;
  }
  if (::close(fd) != 0) {
    const std::string reason = Reason("write", temporary, errno);
    ::unlink(temporary.c_str());
    return reason;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = Reason("rename " + temporary + " to", path, errno);
    ::unlink(temporary.c_str());
    return reason;
  }
  // The rename is in the folder's own data: sync it too.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return Reason("open the folder", folder, errno);
  const bool synced = ::fsync(dir) == 0 || errno == EINVAL;
  const int sync_error = errno;
  ::close(dir);
  if (!synced) return Reason("sync the folder", folder, sync_error);
  return {};
}

}  // namespace

std::string WriteFileDurably(const std::string& path, std::string_view content) {
  if (path == "-") {
    if (!WriteAll(STDOUT_FILENO, content)) return Reason("write to", "standard output", errno);
    return {};
  }
  if (path.empty()) return "cannot write a file with an empty name";
  const std::string target = Resolved(path);
  struct stat status {};
  if (::stat(target.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return Reason("write", path, EISDIR);
    if (!S_ISREG(status.st_mode)) return WriteThrough(target, content);
  }
  return ReplaceAtomically(target, content);
}

bool WritesThrough(const std::string& path) {
  if (path == "-") return true;
  struct stat status {};
  return ::stat(Resolved(path).c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

std::string WhyFileCannotBeWritten(const std::string& path) {
  if (path.empty()) return "empty file name";
  if (path == "-") return {};
  const std::string target = Resolved(path);
  struct stat status {};
  if (::stat(target.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return path + ": " + std::strerror(EISDIR);
    if (!S_ISREG(status.st_mode)) {
      return ::access(target.c_str(), W_OK) == 0 ? "" : path + ": " + std::strerror(errno);
    }
  }
  if (::access(FolderOf(target).c_str(), W_OK | X_OK) != 0) return path + ": " + std::strerror(errno);
  return {};
}

std::string ReplacedFile(const std::string& path) {
  if (WritesThrough(path)) return {};
  // Replacing renames over the link's target; a second hard link to the
  // same file keeps the old one, so links, not inodes, decide.
  return InResolvedFolder(Resolved(path));
}

}  // namespace multitone
