#include "server/listen_address.h"

#include <arpa/inet.h>
#include <charconv>
#include <netinet/in.h>

namespace multitone::server {

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view host = text.substr(0, colon);
  const std::string_view port_text = text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string_view::npos) {
    return std::nullopt;  // a v6 address needs its brackets
  }
  int port = -1;
  const auto [end, error] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (port_text.empty() || error != std::errc() || end != port_text.data() + port_text.size() ||
      port < 0 || port > 65535) {
    return std::nullopt;
  }
  ListenAddress address;
  if (!host.empty()) address.host = std::string(host);
  address.port = port;
  return address;
}

bool IsLoopbackHost(std::string_view host) {
  if (host == "localhost") return true;
  const std::string text(host);
  in_addr v4{};
  if (::inet_pton(AF_INET, text.c_str(), &v4) == 1) {
    return (ntohl(v4.s_addr) >> 24) == 127;
  }
  in6_addr v6{};
  if (::inet_pton(AF_INET6, text.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
  return false;
}

}  // namespace multitone::server
