// The page's identity slots: every value escaped, and a value that looks
// like a slot is text, not filled in again.
#include <gtest/gtest.h>

#include "server/station_page.h"

namespace multitone::server {
namespace {

TEST(StationPage, IdentityIsEscapedText) {
  const std::string page =
      StationPage({"<script>alert(1)</script>", "{{analyzer}} & co", "tcp://a\"b", false});
  EXPECT_EQ(page.find("<script>alert"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("{{analyzer}} &amp; co"), std::string::npos);
  EXPECT_EQ(page.find("tcp://a\"b"), std::string::npos);
  EXPECT_NE(page.find("id=\"simulated\" class=\"simulated\" hidden>"), std::string::npos);
}

TEST(StationPage, SimulatedAnalyzerShownPlainly) {
  const std::string page = StationPage({"line-3", "", "sim", true});
  EXPECT_NE(page.find("id=\"simulated\" class=\"simulated\">SIMULATED"), std::string::npos);
  EXPECT_EQ(page.find("{{"), std::string::npos);
}

}  // namespace
}  // namespace multitone::server
