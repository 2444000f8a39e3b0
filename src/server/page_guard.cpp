#include "server/page_guard.h"

#include "output/json_text.h"
#include "server/access_rules.h"

namespace multitone::server {

void SendJson(httplib::Response& res, int status, const nlohmann::json& body) {
  res.status = status;
  res.set_content(JsonText(body), "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& message) {
  SendJson(res, status, {{"error", message}});
}

void GuardPages(httplib::Server& http, const std::string& token, const std::string& who) {
  http.set_pre_routing_handler([token, who](const httplib::Request& req, httplib::Response& res) {
    if (req.path.rfind("/api/", 0) != 0) return httplib::Server::HandlerResponse::Unhandled;
    const int status = ApiAccessStatus(token, req.get_header_value("Authorization"), req.get_header_value("Cookie"),
                                       req.get_header_value("Host"));
    if (status == 200) return httplib::Server::HandlerResponse::Unhandled;
    SendError(res, status,
              status == 401 ? who + " needs its token: Authorization: Bearer TOKEN, or open /?token=TOKEN"
                            : "the Host header names no loopback host");
    return httplib::Server::HandlerResponse::Handled;
  });
  http.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.has_header("Content-Security-Policy")) res.set_header("Content-Security-Policy", kPagePolicy);
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    if (!res.has_header("Cache-Control")) res.set_header("Cache-Control", "no-store");
  });
}

bool TakeTokenFromAddress(const httplib::Request& req, httplib::Response& res, const std::string& token,
                          const std::string& whose) {
  if (!req.has_param("token")) return false;
  // The token goes into a cookie and out of the address bar.
  const std::string presented = req.get_param_value("token");
  if (!IsAcceptableToken(presented)) {
    res.status = 400;
    res.set_content("not a token", "text/plain");
    return true;
  }
  // A wrong token changes nothing: the cookie the page has stays.
  if (!IsStationToken(token, presented)) {
    res.status = 401;
    res.set_content("not " + whose + " token", "text/plain");
    return true;
  }
  res.set_header("Set-Cookie", TokenCookieHeader(presented));
  res.set_redirect("/", 303);
  return true;
}

}  // namespace multitone::server
