// Who may use the API: the token by header or cookie, the Host header when
// no token is set, and the one content type a run may be started with.
#include <gtest/gtest.h>

#include "server/access_rules.h"
#include "server/listen_address.h"

namespace multitone::server {
namespace {

struct AccessCase {
  const char* what;
  std::string token;
  std::string authorization;
  std::string cookie;
  std::string host;
  int status;
};

TEST(AccessRules, ApiRequests) {
  const std::string token = "s3cret-Token_1";
  const AccessCase cases[] = {
      {"no token, loopback host", "", "", "", "127.0.0.1:8080", 200},
      {"no token, v6 loopback", "", "", "", "[::1]:8080", 200},
      {"no token, localhost", "", "", "", "localhost:8080", 200},
      {"no token, a name pointed at loopback", "", "", "", "localhost.attacker.example:8080", 403},
      {"no token, another host", "", "", "", "10.0.0.7:8080", 403},
      {"no token, no Host header", "", "", "", "", 403},
      {"token, bearer", token, "Bearer " + token, "", "10.0.0.7", 200},
      {"token, bearer in other case", token, "bearer " + token, "", "10.0.0.7", 200},
      {"token, cookie among others", token, "", "a=1; multitone_token=" + token + "; b=2", "x", 200},
      {"token, nothing presented", token, "", "", "127.0.0.1", 401},
      {"token, wrong bearer", token, "Bearer s3cret-Token_2", "", "x", 401},
      {"token, a prefix of it", token, "Bearer s3cret-Token", "", "x", 401},
      {"token, it with more after", token, "Bearer " + token + "x", "", "x", 401},
      {"token, basic scheme", token, "Basic " + token, "", "x", 401},
      {"token, cookie of another name", token, "", "other_token=" + token, "x", 401},
      {"token, wrong bearer beats right cookie", token, "Bearer nope-nope", "multitone_token=" + token,
       "x", 401},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApiAccessStatus(c.token, c.authorization, c.cookie, c.host), c.status) << c.what;
  }
}

TEST(AccessRules, OnlyJsonStartsARun) {
  EXPECT_TRUE(IsJsonContentType("application/json"));
  EXPECT_TRUE(IsJsonContentType("Application/JSON; charset=utf-8"));
  EXPECT_FALSE(IsJsonContentType("text/plain"));
  EXPECT_FALSE(IsJsonContentType("application/x-www-form-urlencoded"));
  EXPECT_FALSE(IsJsonContentType("multipart/form-data; boundary=application/json"));
  EXPECT_FALSE(IsJsonContentType(""));
}

TEST(AccessRules, TokensSafeInACookie) {
  EXPECT_TRUE(IsAcceptableToken("abcdefgh"));
  EXPECT_TRUE(IsAcceptableToken("A-b.c_d~9012"));
  EXPECT_FALSE(IsAcceptableToken("short"));
  EXPECT_FALSE(IsAcceptableToken("abcdefgh; Path=/"));
  EXPECT_FALSE(IsAcceptableToken("abcd efgh"));
}

struct ListenCase {
  const char* text;
  std::optional<std::pair<std::string, int>> parsed;
  bool loopback;
};

TEST(ListenAddress, ParsedAndJudged) {
  const ListenCase cases[] = {
      {"127.0.0.1:8080", {{"127.0.0.1", 8080}}, true},
      {"127.1.2.3:0", {{"127.1.2.3", 0}}, true},
      {":9000", {{"127.0.0.1", 9000}}, true},
      {"[::1]:80", {{"::1", 80}}, true},
      {"localhost:80", {{"localhost", 80}}, true},
      {"0.0.0.0:8080", {{"0.0.0.0", 8080}}, false},
      {"[::]:8080", {{"::", 8080}}, false},
      {"192.168.1.5:8080", {{"192.168.1.5", 8080}}, false},
      {"128.0.0.1:8080", {{"128.0.0.1", 8080}}, false},
      {"::1:80", std::nullopt, false},
      {"127.0.0.1", std::nullopt, false},
      {"127.0.0.1:65536", std::nullopt, false},
      {"127.0.0.1:-1", std::nullopt, false},
      {"127.0.0.1:80x", std::nullopt, false},
  };
  for (const auto& c : cases) {
    const auto address = ParseListenAddress(c.text);
    ASSERT_EQ(address.has_value(), c.parsed.has_value()) << c.text;
    if (!address) continue;
    EXPECT_EQ(address->host, c.parsed->first) << c.text;
    EXPECT_EQ(address->port, c.parsed->second) << c.text;
    EXPECT_EQ(IsLoopbackHost(address->host), c.loopback) << c.text;
  }
}

}  // namespace
}  // namespace multitone::server
