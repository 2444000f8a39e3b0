#pragma once
// A limits file drafted from golden units: per figure and channel the mean
// ± k standard deviations of their stored runs, and a response mask from the
// spread of each tone, in the format --limits reads, commented with n, mean
// and σ so an engineer can review it before use.
#include <string>
#include <vector>

#include "store/database.h"

namespace multitone {

struct Spread {
  std::size_t n = 0;
  double mean = 0;
  double m2 = 0;  // sum of squared deviations (Welford)
  void Add(double value);
  double Stddev() const;  // sample; 0 below two values
};

// Throws StoreError when none of the serials has a stored run.
std::string DeriveLimits(Database& db, const std::vector<std::string>& serials, double k);

}  // namespace multitone
