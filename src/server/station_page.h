#pragma once
// The station page's HTML with this station's identity filled in, every
// value escaped.
#include <string>

namespace multitone::server {

struct PageIdentity {
  std::string station;
  std::string product;   // "PB-200 rev C", or empty
  std::string analyzer;  // the address as given
  bool simulated = false;
};

std::string StationPage(const PageIdentity& identity);

}  // namespace multitone::server
