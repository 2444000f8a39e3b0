#include "verdict/chart_name.h"

namespace multitone {

std::string ChartName(std::string_view figure, std::string_view channel, int tone) {
  std::string name = channel.empty() ? std::string(figure) : std::string(channel) + " " + std::string(figure);
  if (tone != 0) name += " tone " + std::to_string(tone);
  return name;
}

}  // namespace multitone
