#pragma once
// The upper tail of the F distribution, for the ANOVA of a gauge study.
// Written here rather than taken from a library: one function, the
// regularized incomplete beta by its continued fraction.

namespace multitone {

// P(F > f) for F with d1 and d2 degrees of freedom. REQUIRES: d1, d2 > 0.
// 1 for f <= 0.
double FUpperTail(double f, double d1, double d2);

// The regularized incomplete beta function I_x(a, b), 0 <= x <= 1, a, b > 0.
double RegularizedBeta(double x, double a, double b);

}  // namespace multitone
