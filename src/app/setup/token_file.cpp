#include "app/setup/token_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace multitone {

TokenFromFile ReadTokenFile(const std::string& file) {
  std::ifstream in(file);
  if (!in) return {"", "--token-file " + file + ": " + std::strerror(errno)};
  TokenFromFile read;
  std::getline(in, read.token);
  if (in.bad()) return {"", "--token-file " + file + ": " + std::strerror(errno)};
  while (!read.token.empty() && (read.token.back() == '\r' || read.token.back() == ' ')) read.token.pop_back();
  if (read.token.empty()) read.problem = "--token-file " + file + ": the file holds no token";
  return read;
}

}  // namespace multitone
