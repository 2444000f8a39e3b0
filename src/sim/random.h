#pragma once
// Deterministic random numbers, the same on every platform: SplitMix64 for
// uniform bits and Marsaglia's polar method for Gaussian values. The device's phases and
// noise come from here, so a seed reproduces a device exactly.
#include <cmath>
#include <cstdint>
#include <numbers>

namespace multitone::sim {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  // Mixes several numbers into one seed.
  static std::uint64_t Key(std::uint64_t a, std::uint64_t b, std::uint64_t c = 0) {
    return Random(Random(Random(a).Next() ^ b).Next() ^ c).Next();
  }

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in (0, 1): never 0, so its logarithm is finite.
  double Uniform() { return (static_cast<double>(Next() >> 11) + 0.5) * 0x1.0p-53; }

  double Phase() { return 2.0 * std::numbers::pi * Uniform(); }

  // Two independent standard Gaussian values (one logarithm, no sine).
  void Gaussian(double& first, double& second) {
    double u = 0, v = 0, s = 0;
    do {
      u = 2.0 * Uniform() - 1.0;
      v = 2.0 * Uniform() - 1.0;
      s = u * u + v * v;
    } while (s >= 1.0);
    const double scale = std::sqrt(-2.0 * std::log(s) / s);
    first = u * scale;
    second = v * scale;
  }

 private:
  std::uint64_t state_;
};

}  // namespace multitone::sim
