#pragma once
// The decibel value of a positive ratio, evaluated in exactly this order:
// ln(q), times 20, divided by ln(10). Other ways of forming 20·log10(q)
// differ in the last bit for some q, which shows in 15-digit texts.
namespace multitone {

// REQUIRES: q > 0 (callers test it). The result is tested for NaN and
// infinity (RunError 5 or 6).
double RatioToDb(double q);

}  // namespace multitone
