#include "app/setup/usage_error.h"

#include <ostream>

namespace multitone {

int UsageError(std::string_view cause, std::ostream& err) {
  err << "multitone: " << cause << "\nsee multitone --help\n";
  return kUsageErrorStatus;
}

}  // namespace multitone
