#include "common/general_value.h"

#include <gtest/gtest.h>

#include "common/run_error.h"

namespace multitone {
namespace {

using V = GeneralValue;

ErrorNumber NumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RunError& error) {
    return error.Number();
  }
  return ErrorNumber{0};
}

TEST(GeneralValue, StartsEmptyAndReadsAsZeroOrEmptyText) {
  const V empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.ToDouble(), 0.0);
  EXPECT_EQ(empty.ToText(), "");
  EXPECT_EQ((empty + V::Int16(3)).Kind(), ValueKind::Int16);
}

TEST(GeneralValue, ArithmeticTakesTheWiderKind) {
  EXPECT_EQ((V::Int16(1) + V::Int16(2)).Kind(), ValueKind::Int16);
  EXPECT_EQ((V::Int16(1) + V::Int32(2)).Kind(), ValueKind::Int32);
  EXPECT_EQ((V::Int16(1) * V::Float32(2)).Kind(), ValueKind::Float32);
  EXPECT_EQ((V::Float64(1) * V::Int16(2)).Kind(), ValueKind::Float64);
  EXPECT_EQ((V::Float32(1) - V::Float64(2)).Kind(), ValueKind::Float64);
  // A 32-bit float with a 32-bit integer gives a 64-bit float.
  EXPECT_EQ((V::Float32(1) + V::Int32(2)).Kind(), ValueKind::Float64);
}

TEST(GeneralValue, A16BitResultThatWouldOverflowWidensTo32Bits) {
  struct Case {
    const char* what;
    V result;
    V expected;  // value and kind
  };
  const Case table[] = {
      {"32766 + 1", V::Int16(32766) + V::Int16(1), V::Int16(32767)},
      {"32767 + 1", V::Int16(32767) + V::Int16(1), V::Int32(32768)},
      {"-32767 - 1", V::Int16(-32767) - V::Int16(1), V::Int16(-32768)},
      {"-32768 - 1", V::Int16(-32768) - V::Int16(1), V::Int32(-32769)},
      {"181 * 181", V::Int16(181) * V::Int16(181), V::Int16(32761)},
      {"200 * 200", V::Int16(200) * V::Int16(200), V::Int32(40000)},
      {"-256 * 128", V::Int16(-256) * V::Int16(128), V::Int16(-32768)},
  };
  for (const Case& c : table) EXPECT_EQ(c.result, c.expected) << c.what;
  V count = V::Int16(0);
  for (int i = 0; i < 40000; ++i) count += V::Int16(1);
  EXPECT_EQ(count, V::Int32(40000));
  EXPECT_EQ(NumberOf([] { (void)(V::Int32(2147483647) + V::Int16(1)); }), ErrorNumber::Overflow);
}

TEST(GeneralValue, DivisionGives32BitsOnlyForInt16AndFloat32Operands) {
  EXPECT_EQ(V::Int16(16384) / V::Int16(2), V::Float32(8192.0f));
  EXPECT_EQ((V::Float32(1) / V::Float32(3)).Kind(), ValueKind::Float32);
  EXPECT_EQ((V::Int16(1) / V::Float32(3)).Kind(), ValueKind::Float32);
  EXPECT_EQ(V::Int32(48000) / V::Int16(16384), V::Float64(2.9296875));
  EXPECT_EQ((V::Float64(1) / V::Int16(3)).Kind(), ValueKind::Float64);
}

TEST(GeneralValue, DivisionFailuresCarryTheirNumbers) {
  EXPECT_EQ(NumberOf([] { (void)(V::Float64(1) / V::Int16(0)); }), ErrorNumber::DivisionByZero);
  EXPECT_EQ(NumberOf([] { (void)(V::Float64(0) / V::Int16(0)); }),
            ErrorNumber::InvalidFloatingPoint);
  EXPECT_EQ(NumberOf([] { (void)(V::Float64(1e308) / V::Float64(1e-308)); }), ErrorNumber::Overflow);
  EXPECT_EQ(NumberOf([] { (void)(V::Float32(3e38f) * V::Int16(10)); }), ErrorNumber::Overflow);
}

TEST(GeneralValue, IntRoundsTowardMinusInfinityAndKeepsTheKind) {
  EXPECT_EQ(Int(V::Float64(2.5)), V::Float64(2.0));
  EXPECT_EQ(Int(V::Float64(-2.5)), V::Float64(-3.0));
  EXPECT_EQ(Int(V::Float32(7.9f)), V::Float32(7.0f));
  EXPECT_EQ(Int(V::Int16(5)), V::Int16(5));
}

TEST(GeneralValue, SqrtGivesA64BitFloat) {
  EXPECT_EQ(Sqrt(V::Int16(4)), V::Float64(2.0));
  EXPECT_EQ(NumberOf([] { (void)Sqrt(V::Float64(-1)); }), ErrorNumber::InvalidFloatingPoint);
}

TEST(GeneralValue, TextsJoinAndDoNotMixWithNumbers) {
  EXPECT_EQ(V::Text("a") + V::Text("b"), V::Text("ab"));
  EXPECT_EQ(V() + V::Text("b"), V::Text("b"));
  EXPECT_EQ(NumberOf([] { (void)(V::Text("1") + V::Int16(1)); }), ErrorNumber::TypeMismatch);
  EXPECT_EQ(NumberOf([] { (void)V::Int16(1).ToText(); }), ErrorNumber::TypeMismatch);
}

TEST(GeneralValue, ToInt32RoundsHalvesToEvenAndRefusesWhatDoesNotFit) {
  EXPECT_EQ(ToInt32(V::Float64(341.0)), 341);
  EXPECT_EQ(ToInt32(2.5), 2);
  EXPECT_EQ(ToInt32(3.5), 4);
  EXPECT_EQ(NumberOf([] { (void)ToInt32(3e9); }), ErrorNumber::Overflow);
}

TEST(GeneralValue, ComparesNumbersAcrossKinds) {
  EXPECT_TRUE(V::Float64(10.5) > V::Int16(10));
  EXPECT_TRUE(V::Int16(10) <= V::Float32(10));
  EXPECT_FALSE(V::Float64(0.0) == V::Int16(0));  // same number, different kind
}

}  // namespace
}  // namespace multitone
