#include "line/f_distribution.h"

#include <cmath>

namespace multitone {
namespace {

// The continued fraction of I_x(a, b) by the modified Lentz method; it
// converges fast for x < (a + 1) / (a + b + 2).
double BetaFraction(double x, double a, double b) {
  constexpr double kTiny = 1e-300;
  constexpr double kEpsilon = 1e-15;
  constexpr int kMaxTerms = 1000;
  double c = 1;
  double d = 1 - (a + b) * x / (a + 1);
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1 / d;
  double h = d;
  for (int m = 1; m <= kMaxTerms; ++m) {
    const double dm = m;
    // The even step, then the odd step.
    double term = dm * (b - dm) * x / ((a + 2 * dm - 1) * (a + 2 * dm));
    d = 1 + term * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1 + term / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    h *= d * c;
    term = -(a + dm) * (a + b + dm) * x / ((a + 2 * dm) * (a + 2 * dm + 1));
    d = 1 + term * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1 + term / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1) < kEpsilon) break;
  }
  return h;
}

}  // namespace

double RegularizedBeta(double x, double a, double b) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) +
                                b * std::log1p(-x));
  if (x < (a + 1) / (a + b + 2)) return front * BetaFraction(x, a, b) / a;
  return 1 - front * BetaFraction(1 - x, b, a) / b;
}

double FUpperTail(double f, double d1, double d2) {
  if (f <= 0) return 1;
  return RegularizedBeta(d2 / (d2 + d1 * f), d2 / 2, d1 / 2);
}

}  // namespace multitone
