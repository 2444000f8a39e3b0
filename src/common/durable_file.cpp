#include "common/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
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

// A chain of symbolic links longer than this goes round (the kernel's own
// bound): the path is then refused, never followed for ever.
constexpr int kMostLinks = 40;

// What a path names once symbolic links are followed: the path of the file
// itself and, when something is there, its status. A dangling link leads to
// the path its target would be created at.
struct Target {
  std::string path;
  bool exists = false;
  struct stat status {};
  int error = 0;  // ELOOP when the links go round
};

Target Resolve(const std::string& path) {
  Target target{path};
  for (int links = 0;; ++links) {
    // Not a link, lstat says what stat would: one call for both.
    if (::lstat(target.path.c_str(), &target.status) != 0) return target;
    if (!S_ISLNK(target.status.st_mode)) {
      target.exists = true;
      return target;
    }
    if (links == kMostLinks) {
      target.error = ELOOP;
      return target;
    }
    char to[PATH_MAX];
    const ssize_t n = ::readlink(target.path.c_str(), to, sizeof to - 1);
    if (n <= 0) {
      target.exists = ::stat(target.path.c_str(), &target.status) == 0;
      return target;
    }
    const std::string next(to, static_cast<std::size_t>(n));
    target.path = next.front() == '/' ? next : FolderOf(target.path) + "/" + next;
  }
}

bool GoesThrough(const Target& target) {
  return target.exists && !S_ISREG(target.status.st_mode) && !S_ISDIR(target.status.st_mode);
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
  const Target target = Resolve(path);
  if (target.error != 0) return Reason("write", path, target.error);
  if (target.exists && S_ISDIR(target.status.st_mode)) return Reason("write", path, EISDIR);
  if (GoesThrough(target)) return WriteThrough(target.path, content);
  return ReplaceAtomically(target.path, content);
}

bool WritesThrough(const std::string& path) {
  return path == "-" || GoesThrough(Resolve(path));
}

std::string WhyFileCannotBeWritten(const std::string& path) {
  if (path.empty()) return "empty file name";
  if (path == "-") return {};
  const Target target = Resolve(path);
  if (target.error != 0) return path + ": " + std::strerror(target.error);
  if (target.exists && S_ISDIR(target.status.st_mode)) return path + ": " + std::strerror(EISDIR);
  if (GoesThrough(target)) {
    return ::access(target.path.c_str(), W_OK) == 0 ? "" : path + ": " + std::strerror(errno);
  }
  if (::access(FolderOf(target.path).c_str(), W_OK | X_OK) != 0) return path + ": " + std::strerror(errno);
  return {};
}

std::string ReplacedFile(const std::string& path) {
  if (path == "-") return {};
  const Target target = Resolve(path);
  if (GoesThrough(target)) return {};
  // Replacing renames over the link's target; a second hard link to the
  // same file keeps the old one, so links, not inodes, decide. The folder
  // is named by its device and inode, whatever way the path reaches it
  // (after a NUL, which no path holds: never taken for a path).
  struct stat folder {};
  if (::stat(FolderOf(target.path).c_str(), &folder) != 0) return target.path;
  return std::string(1, '\0') + std::to_string(folder.st_dev) + ":" + std::to_string(folder.st_ino) + "/" +
         BaseOf(target.path);
}

}  // namespace multitone
