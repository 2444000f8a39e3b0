#include "common/short_number.h"

#include <cstdio>

namespace multitone {

std::string ShortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace multitone
