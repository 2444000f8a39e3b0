#include "app/exit_status.h"

#include <ostream>

namespace multitone {

int UsageError(std::string_view command, std::string_view cause, std::ostream& err) {
  err << command << ": " << cause << "\nsee " << command << " --help\n";
  return kExitUsage;
}

int UsageRefusal(std::string_view command, std::string_view cause, std::ostream& err) {
  err << command << ": " << cause << '\n';
  return kExitUsage;
}

}  // namespace multitone
