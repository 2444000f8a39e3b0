#pragma once
// What every page this server family serves shares: JSON answers and
// errors, the API's access rules (the token, a loopback Host), the pages'
// security headers, and a token given in the address moved into a cookie.
#include <httplib.h>

#include <nlohmann/json.hpp>
#include <string>

namespace multitone::server {

// Who may load what: only this server's own script, style and pictures, no
// frames, no inline script (a serial that got into the markup could not run).
inline constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; form-action 'none'; frame-ancestors 'none'; base-uri 'none'";
// A drawing served on its own styles its own elements.
inline constexpr const char* kDrawingPolicy = "default-src 'none'; style-src 'unsafe-inline'";

void SendJson(httplib::Response& res, int status, const nlohmann::json& body);
// {"error": message}
void SendError(httplib::Response& res, int status, const std::string& message);

// Refuses /api/ requests without `token` (when one is set) or naming a Host
// that is not loopback ("`who` needs its token: ..."), and gives every
// response the pages' security headers and no caching unless it says
// otherwise.
void GuardPages(httplib::Server& http, const std::string& token, const std::string& who);

// "/?token=T": answers 400 for what is not a token, 401 ("not `whose`
// token") for another one, else sets the cookie and sends the page to "/"
// without it. False, having answered nothing, when the request has none.
bool TakeTokenFromAddress(const httplib::Request& req, httplib::Response& res, const std::string& token,
                          const std::string& whose);

}  // namespace multitone::server
