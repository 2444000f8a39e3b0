#pragma once
// Who may use the station's API. With a token, every API request carries it,
// as "Authorization: Bearer TOKEN" or in the cookie that "/?token=TOKEN"
// sets. Without a token the server listens on loopback only, and a request
// must also name a loopback host, so a web page that points its own domain
// name at 127.0.0.1 is still refused.
#include <optional>
#include <string>
#include <string_view>

namespace multitone::server {

inline constexpr std::string_view kTokenCookie = "multitone_token";
// The largest request body the server reads.
inline constexpr std::size_t kMaxBodyBytes = 4096;

// 8 to 256 characters of letters, digits and "-._~": safe in a header and a
// cookie as they are.
bool IsAcceptableToken(std::string_view token);

// The token a request presents: the Authorization bearer first, else the
// cookie. Empty when neither holds one.
std::optional<std::string> PresentedToken(std::string_view authorization, std::string_view cookie);

// Decides on one API request: 200 when it may go on, 401 without the right
// token, 403 when no token is set and the Host header names no loopback host.
int ApiAccessStatus(const std::string& token, std::string_view authorization,
                    std::string_view cookie, std::string_view host_header);

// True for "application/json", with or without parameters ("; charset=utf-8").
bool IsJsonContentType(std::string_view content_type);

// True when `presented` is this station's token (never for a station
// without one). Only then does "/?token=" set the cookie.
bool IsStationToken(const std::string& token, std::string_view presented);

// The Set-Cookie value that keeps the token for the page's own requests.
std::string TokenCookieHeader(const std::string& token);

}  // namespace multitone::server
