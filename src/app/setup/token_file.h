#pragma once
// The station's token kept in a file of its own (--token-file, or
// serve.token_file in the station file), so that it appears neither in the
// station file nor on a command line that any user can list.
#include <string>

namespace multitone {

struct TokenFromFile {
  std::string token;    // the file's first line, without its line end
  std::string problem;  // why there is none; empty when there is
};

TokenFromFile ReadTokenFile(const std::string& file);

}  // namespace multitone
