#include "server/access_rules.h"

#include <algorithm>
#include <cctype>

#include "server/listen_address.h"

namespace multitone::server {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Compares without stopping at the first difference, so the time taken
// tells nothing about how much of a guess was right.
bool SameSecret(std::string_view a, std::string_view b) {
  unsigned char difference = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  }
  return difference == 0;
}

// The host part of a Host header: "127.0.0.1:8080" → "127.0.0.1",
// "[::1]:8080" → "::1".
std::string_view HostPart(std::string_view header) {
  header = Trim(header);
  if (!header.empty() && header.front() == '[') {
    const auto close = header.find(']');
    return close == std::string_view::npos ? std::string_view() : header.substr(1, close - 1);
  }
  return header.substr(0, header.find(':'));
}

}  // namespace

bool IsAcceptableToken(std::string_view token) {
  return token.size() >= 8 && token.size() <= 256 &&
         std::all_of(token.begin(), token.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' ||
                  c == '~';
         });
}

std::optional<std::string> PresentedToken(std::string_view authorization, std::string_view cookie) {
  authorization = Trim(authorization);
  if (authorization.size() > 7 && EqualsIgnoringCase(authorization.substr(0, 7), "Bearer ")) {
    return std::string(Trim(authorization.substr(7)));
  }
  while (!cookie.empty()) {
    const auto end = cookie.find(';');
    const std::string_view pair = Trim(cookie.substr(0, end));
    const auto equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == kTokenCookie) {
      return std::string(pair.substr(equals + 1));
    }
    if (end == std::string_view::npos) break;
    cookie.remove_prefix(end + 1);
  }
  return std::nullopt;
}

int ApiAccessStatus(const std::string& token, std::string_view authorization,
                    std::string_view cookie, std::string_view host_header) {
  if (token.empty()) return IsLoopbackHost(HostPart(host_header)) ? 200 : 403;
  const auto presented = PresentedToken(authorization, cookie);
  return presented && SameSecret(*presented, token) ? 200 : 401;
}

bool IsStationToken(const std::string& token, std::string_view presented) {
  return !token.empty() && SameSecret(presented, token);
}

bool IsJsonContentType(std::string_view content_type) {
  return EqualsIgnoringCase(Trim(content_type.substr(0, content_type.find(';'))), "application/json");
}

std::string TokenCookieHeader(const std::string& token) {
  return std::string(kTokenCookie) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict";
}

}  // namespace multitone::server
