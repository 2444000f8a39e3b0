#include "link/visa_address.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "common/run_error.h"

namespace multitone {
namespace {

constexpr std::string_view kForms =
    "TCPIP[board]::HOST::PORT::SOCKET, TCPIP[board]::HOST[::inst0][::INSTR] or "
    "TCPIP[board]::HOST::instN::INSTR";

[[noreturn]] void Refuse(std::string_view address, const std::string& problem) {
  throw RunError(ErrorNumber::LinkCannotBeCreated, "analyzer address '" + std::string(address) + "' " +
                                                       problem + " (expected " + std::string(kForms) + ")");
}

std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
  return out;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "::"-separated fields; a bracketed IPv6 host keeps its own colons.
std::vector<std::string_view> Fields(std::string_view address) {
  std::vector<std::string_view> fields;
  std::size_t from = 0;
  for (;;) {
    std::size_t search = from;
    if (search < address.size() && address[search] == '[') {
      const std::size_t close = address.find(']', search);
      search = close == std::string_view::npos ? address.size() : close;
    }
    const std::size_t at = address.find("::", search);
    fields.push_back(address.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
    if (at == std::string_view::npos) return fields;
    from = at + 2;
  }
}

std::string Host(std::string_view address, std::string_view field) {
  if (field.empty()) Refuse(address, "names no host");
  if (field.front() == '[') {
    if (field.size() < 3 || field.back() != ']') Refuse(address, "has a malformed IPv6 host");
    field = field.substr(1, field.size() - 2);
  } else if (field.find(':') != std::string_view::npos) {
    Refuse(address, "has an IPv6 host without brackets");
  }
  if (field.find_first_of("/?#@ []") != std::string_view::npos) Refuse(address, "has a malformed host");
  return std::string(field);
}

}  // namespace

bool LooksLikeVisaAddress(std::string_view address) { return Upper(address.substr(0, 5)) == "TCPIP"; }

VisaAddress ParseVisaAddress(std::string_view address) {
  const std::vector<std::string_view> fields = Fields(address);
  const std::string interface = Upper(fields[0]);
  if (interface.rfind("TCPIP", 0) != 0 || !(interface.size() == 5 || AllDigits(interface.substr(5)))) {
    Refuse(address, "does not start with TCPIP or TCPIPn");
  }
  if (fields.size() < 2) Refuse(address, "names no host");
  VisaAddress out;
  out.host = Host(address, fields[1]);
  const std::string last = Upper(fields.back());
  if (last == "SOCKET") {
    if (fields.size() != 4) Refuse(address, "is not HOST::PORT::SOCKET");
    int port = 0;
    const std::string_view text = fields[2];
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (!AllDigits(text) || error != std::errc() || end != text.data() + text.size() || port < 1 ||
        port > 65535) {
      Refuse(address, "has an invalid port '" + std::string(text) + "'");
    }
    out.kind = VisaAddress::Kind::Socket;
    out.port = port;
    return out;
  }
  // HOST, HOST::INSTR, HOST::DEVICE, HOST::DEVICE::INSTR
  std::vector<std::string_view> rest(fields.begin() + 2, fields.end());
  if (!rest.empty() && Upper(rest.back()) == "INSTR") rest.pop_back();
  if (rest.size() > 1) Refuse(address, "has too many fields");
  out.kind = VisaAddress::Kind::Vxi11;
  out.device = "inst0";
  if (!rest.empty()) {
    const std::string device = Upper(rest[0]);
    if (device.rfind("INST", 0) != 0 || !AllDigits(std::string_view(device).substr(4))) {
      Refuse(address, "names device '" + std::string(rest[0]) + "', not instN");
    }
    out.device = "inst" + device.substr(4);
  }
  return out;
}

}  // namespace multitone
