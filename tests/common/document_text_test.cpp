// The texts every document is made of: numbers as people read them, and
// outside text made safe for JSON, XML and HTML.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "common/html_escape.h"
#include "common/short_number.h"
#include "common/utf8_text.h"

namespace multitone {
namespace {

std::string PrintfShort(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

TEST(ShortNumber, IsPrintfsSixDigitText) {
  const double inf = std::numeric_limits<double>::infinity();
  const double cases[] = {0.0,     -0.0,      1.0,      55.2,      0.31,     1e-05,   -240.0,
                          123456.5, 1234565.0, 999999.5, 9999995.0, 0.0001,  0.00001, 1e300,
                          -1e-300,  5e-324,    2.5,      0.125,     1e15,     inf,     -inf,
                          std::numeric_limits<double>::max(), std::nan("")};
  for (const double value : cases) EXPECT_EQ(ShortNumber(value), PrintfShort(value)) << value;

  // Any bit pattern: rounding halves, exponent switches and subnormals alike.
  std::mt19937_64 bits(20261208);
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t word = bits();
    double value;
    std::memcpy(&value, &word, sizeof value);
    if (std::isnan(value)) continue;  // printf's sign of a NaN follows no rule worth keeping
    ASSERT_EQ(ShortNumber(value), PrintfShort(value)) << std::hexfloat << value;
  }
}

TEST(PrintableUtf8, KeepsValidTextAndReplacesTheRest) {
  const std::string_view kBad = "\xef\xbf\xbd";
  const struct {
    std::string_view in;
    std::string out;
  } cases[] = {
      {"PB20000042", "PB20000042"},
      {"a\tb\nc", "a\tb\nc"},
      {"line\r", "line" + std::string(kBad)},
      {std::string_view("a\0b", 3), "a" + std::string(kBad) + "b"},
      {"del\x7f", "del" + std::string(kBad)},
      {"b\xc3\xa9nch \xe2\x82\xac \xf0\x9f\x8e\xb5", "b\xc3\xa9nch \xe2\x82\xac \xf0\x9f\x8e\xb5"},
      {"\xc2\x85", std::string(kBad)},                              // C1 control
      {"\xc0\xaf", std::string(kBad) + std::string(kBad)},          // overlong
      {"\xed\xa0\x80", std::string(kBad) + std::string(kBad) + std::string(kBad)},  // surrogate
      {"ok\xe2\x82", "ok" + std::string(kBad) + std::string(kBad)},  // cut short at the end
      {"\xff" "abc", std::string(kBad) + "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(PrintableUtf8(c.in), c.out) << c.in;
}

TEST(HtmlEscape, EscapesTheFiveCharactersAnywhere) {
  const struct {
    std::string_view in, out;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"<&>\"'", "&lt;&amp;&gt;&quot;&#39;"},
      {"a<b", "a&lt;b"},
      {"Tom & Jerry's \"best\"", "Tom &amp; Jerry&#39;s &quot;best&quot;"},
      {"&amp;", "&amp;amp;"},
      {"x\x01<", "x\xef\xbf\xbd&lt;"},
  };
  for (const auto& c : cases) EXPECT_EQ(HtmlEscape(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace multitone
