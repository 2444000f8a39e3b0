#include "app/output_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace multitone {

int CheckOutput(int status) {
  errno = 0;
  std::cout.flush();
  const int flush_errno = errno;
  const bool out_failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout;
  const int out_errno = errno != 0 ? errno : flush_errno;
  if (out_failed) {
    const std::string reason = out_errno != 0 ? std::strerror(out_errno) : "write error";
    std::cerr << "multitone: cannot write to standard output: " << reason << std::endl;
  }
  const bool err_failed = std::fflush(stderr) != 0 || std::ferror(stderr) != 0 || !std::cerr;
  if ((out_failed || err_failed) && status == 0) return 1;
  return status;
}

}  // namespace multitone
