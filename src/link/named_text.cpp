#include "link/named_text.h"

namespace multitone {

std::string Named(std::string_view text) {
  constexpr std::size_t kShown = 60;
  if (text.size() <= kShown) return std::string(text);
  return std::string(text.substr(0, kShown)) + "...";
}

}  // namespace multitone
