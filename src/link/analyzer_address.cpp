#include "link/analyzer_address.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

#include "common/run_error.h"

namespace multitone {
namespace {

constexpr std::string_view kForms =
    "tcp://HOST[:PORT], TCPIP[board]::HOST::PORT::SOCKET, TCPIP[board]::HOST[::inst0][::INSTR], "
    "TCPIP[board]::HOST::instN::INSTR, TCPIP[board]::HOST::gpibN,ADDR[,SECONDARY]::INSTR, "
    "TCPIP[board]::HOST::hislipN[,PORT][::INSTR], "
    "ASRL/dev/PATH::INSTR[?SETTINGS], prologix://HOST[:PORT]/ADDR[,SECONDARY], replay:FILE or sim[:OPTIONS]";

[[noreturn]] void Refuse(std::string_view text, const std::string& problem) {
  throw RunError(ErrorNumber::LinkCannotBeCreated, "analyzer address '" + std::string(text) + "' " + problem +
                                                       " (expected " + std::string(kForms) + ")");
}

std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Upper(text.substr(0, prefix.size())) == Upper(prefix);
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A plain decimal number within [low, high], or nothing.
std::optional<int> Number(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (!AllDigits(text) || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > high) {
    return std::nullopt;
  }
  return value;
}

int Port(std::string_view text, std::string_view field) {
  if (field.empty()) Refuse(text, "has an empty port");
  const std::optional<int> port = Number(field, 1, 65535);
  if (!port) Refuse(text, "has an invalid port '" + std::string(field) + "'");
  return *port;
}

// A host with an optional ":PORT" (tcp://, prologix://).
void HostAndPort(std::string_view text, std::string_view rest, int default_port, AnalyzerAddress& out) {
  std::string_view port;
  bool has_port = false;
  if (!rest.empty() && rest.front() == '[') {  // [IPv6]:port
    const auto close = rest.find(']');
    if (close == std::string_view::npos) Refuse(text, "lacks ']'");
    out.host = std::string(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') Refuse(text, "is malformed");
      port = rest.substr(1);
      has_port = true;
    }
  } else {
    const auto colon = rest.find(':');
    out.host = std::string(rest.substr(0, colon));
    if (colon != std::string_view::npos && rest.find(':', colon + 1) != std::string_view::npos) {
      Refuse(text, "is malformed (an IPv6 host goes in brackets: tcp://[::1]:5025)");
    }
    if (colon != std::string_view::npos) {
      port = rest.substr(colon + 1);
      has_port = true;
    }
  }
  if (out.host.empty()) Refuse(text, "names no host");
  if (out.host.find_first_of("/?#@ ") != std::string::npos) Refuse(text, "is malformed");
  out.port = has_port ? Port(text, port) : default_port;
}

GpibAddress Gpib(std::string_view text, std::string_view primary, std::string_view secondary) {
  GpibAddress out;
  const std::optional<int> p = Number(primary, 0, 30);
  if (!p) Refuse(text, "has GPIB address '" + std::string(primary) + "', not 0 to 30");
  out.primary = *p;
  if (secondary.data() != nullptr) {
    const std::optional<int> s = Number(secondary, 0, 30);
    if (!s) Refuse(text, "has secondary GPIB address '" + std::string(secondary) + "', not 0 to 30");
    out.secondary = *s;
  }
  return out;
}

// ---- tcp:// and prologix:// ----

AnalyzerAddress ParseTcp(std::string_view text) {
  AnalyzerAddress out;
  out.kind = AnalyzerAddress::Kind::Socket;
  HostAndPort(text, text.substr(6), kDefaultAnalyzerPort, out);
  return out;
}

AnalyzerAddress ParseController(std::string_view text) {
  AnalyzerAddress out;
  out.kind = AnalyzerAddress::Kind::GpibController;
  std::string_view rest = text.substr(11);
  const std::size_t slash = rest.rfind('/');
  if (slash == std::string_view::npos) Refuse(text, "names no GPIB address (prologix://HOST[:PORT]/ADDR)");
  HostAndPort(text, rest.substr(0, slash), kDefaultControllerPort, out);
  const std::string_view gpib = rest.substr(slash + 1);
  const std::size_t comma = gpib.find(',');
  out.gpib = Gpib(text, gpib.substr(0, comma),
                  comma == std::string_view::npos ? std::string_view() : gpib.substr(comma + 1));
  return out;
}

// ---- TCPIP:: ----

// "::"-separated fields; a bracketed IPv6 host keeps its own colons.
std::vector<std::string_view> Fields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t from = 0;
  for (;;) {
    std::size_t search = from;
    if (search < text.size() && text[search] == '[') {
      const std::size_t close = text.find(']', search);
      search = close == std::string_view::npos ? text.size() : close;
    }
    const std::size_t at = text.find("::", search);
    fields.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
    if (at == std::string_view::npos) return fields;
    from = at + 2;
  }
}

std::string VisaHost(std::string_view text, std::string_view field) {
  if (field.empty()) Refuse(text, "names no host");
  if (field.front() == '[') {
    if (field.size() < 3 || field.back() != ']') Refuse(text, "has a malformed IPv6 host");
    field = field.substr(1, field.size() - 2);
  } else if (field.find(':') != std::string_view::npos) {
    Refuse(text, "has an IPv6 host without brackets");
  }
  if (field.find_first_of("/?#@ []") != std::string_view::npos) Refuse(text, "has a malformed host");
  return std::string(field);
}

// A VXI-11 device name: instN, or a gateway's gpibN,ADDR[,SECONDARY] or
// hpib,ADDR[,SECONDARY]. Returned as given: the gateway reads it.
std::string Vxi11Device(std::string_view text, std::string_view device) {
  const std::string upper = Upper(device);
  if (upper.rfind("INST", 0) == 0 && AllDigits(std::string_view(upper).substr(4))) return std::string(device);
  const std::string_view interface = upper.rfind("GPIB", 0) == 0 ? "GPIB" : upper.rfind("HPIB", 0) == 0 ? "HPIB" : "";
  const std::size_t comma = device.find(',');
  if (!interface.empty() && comma != std::string_view::npos) {
    const std::string_view board = device.substr(4, comma - 4);
    if (board.empty() || AllDigits(board)) {
      const std::string_view rest = device.substr(comma + 1);
      const std::size_t second = rest.find(',');
      Gpib(text, rest.substr(0, second),
           second == std::string_view::npos ? std::string_view() : rest.substr(second + 1));
      return std::string(device);
    }
  }
  Refuse(text, "names device '" + std::string(device) + "', not instN, gpibN,ADDR or hpib,ADDR");
}

// A HiSLIP sub-address: hislipN, and the server's port after a comma
// (4880 when none is given). The name goes to the server as given.
void HislipDevice(std::string_view text, std::string_view device, AnalyzerAddress& out) {
  const std::size_t comma = device.find(',');
  const std::string_view name = device.substr(0, comma);
  if (!AllDigits(name.substr(6))) Refuse(text, "names device '" + std::string(device) + "', not hislipN[,PORT]");
  out.kind = AnalyzerAddress::Kind::Hislip;
  out.device = std::string(name);
  out.port = comma == std::string_view::npos ? kDefaultHislipPort : Port(text, device.substr(comma + 1));
}

AnalyzerAddress ParseTcpip(std::string_view text) {
  const std::vector<std::string_view> fields = Fields(text);
  const std::string interface = Upper(fields[0]);
  if (!(interface.size() == 5 || AllDigits(interface.substr(5)))) {
    Refuse(text, "does not start with TCPIP or TCPIPn");
  }
  if (fields.size() < 2) Refuse(text, "names no host");
  AnalyzerAddress out;
  out.host = VisaHost(text, fields[1]);
  if (Upper(fields.back()) == "SOCKET") {
    if (fields.size() != 4) Refuse(text, "is not HOST::PORT::SOCKET");
    out.kind = AnalyzerAddress::Kind::Socket;
    out.port = Port(text, fields[2]);
    return out;
  }
  // HOST, HOST::INSTR, HOST::DEVICE, HOST::DEVICE::INSTR
  std::vector<std::string_view> rest(fields.begin() + 2, fields.end());
  if (!rest.empty() && Upper(rest.back()) == "INSTR") rest.pop_back();
  if (rest.size() > 1) Refuse(text, "has too many fields");
  if (!rest.empty() && StartsWithNoCase(rest[0], "hislip")) {
    HislipDevice(text, rest[0], out);
    return out;
  }
  out.kind = AnalyzerAddress::Kind::Vxi11;
  out.device = rest.empty() ? "inst0" : Vxi11Device(text, rest[0]);
  return out;
}

// ---- ASRL ----

constexpr int kBaudRates[] = {50,     75,     110,    134,    150,     200,     300,     600,
                              1200,   1800,   2400,   4800,   9600,    19200,   38400,   57600,
                              115200, 230400, 460800, 500000, 576000,  921600,  1000000, 1152000,
                              1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

void Setting(std::string_view text, std::string_view key, std::string_view value, AnalyzerAddress& out) {
  using Parity = SerialSettings::Parity;
  using Flow = SerialSettings::Flow;
  SerialSettings& s = out.serial;
  const auto bad = [&](std::string_view allowed) {
    Refuse(text, "has " + std::string(key) + "='" + std::string(value) + "', not " + std::string(allowed));
  };
  if (key == "baud") {
    const std::optional<int> baud = Number(value, 1, 4000000);
    if (!baud || std::find(std::begin(kBaudRates), std::end(kBaudRates), *baud) == std::end(kBaudRates)) {
      bad("a standard rate from 50 to 4000000");
    }
    s.baud = *baud;
  } else if (key == "bits") {
    const std::optional<int> bits = Number(value, 5, 8);
    if (!bits) bad("5 to 8");
    s.data_bits = *bits;
  } else if (key == "parity") {
    static constexpr std::pair<std::string_view, Parity> kNames[] = {
        {"none", Parity::None}, {"even", Parity::Even}, {"odd", Parity::Odd},
        {"mark", Parity::Mark}, {"space", Parity::Space}};
    const auto* found = std::find_if(std::begin(kNames), std::end(kNames), [&](auto& n) { return n.first == value; });
    if (found == std::end(kNames)) bad("none, even, odd, mark or space");
    s.parity = found->second;
  } else if (key == "stop") {
    const std::optional<int> stop = Number(value, 1, 2);
    if (!stop) bad("1 or 2");
    s.stop_bits = *stop;
  } else if (key == "flow") {
    static constexpr std::pair<std::string_view, Flow> kNames[] = {
        {"none", Flow::None}, {"rtscts", Flow::RtsCts}, {"xonxoff", Flow::XonXoff}};
    const auto* found = std::find_if(std::begin(kNames), std::end(kNames), [&](auto& n) { return n.first == value; });
    if (found == std::end(kNames)) bad("none, rtscts or xonxoff");
    s.flow = found->second;
  } else if (key == "term") {
    if (value != "lf" && value != "cr") bad("lf or cr");
    s.termination = value == "lf" ? '\n' : '\r';
  } else if (key == "gpib") {
    out.gpib = Gpib(text, value, std::string_view());
    out.kind = AnalyzerAddress::Kind::GpibController;
  } else {
    Refuse(text, "has an unknown setting '" + std::string(key) + "' (baud, bits, parity, stop, flow, term, gpib)");
  }
}

AnalyzerAddress ParseSerial(std::string_view text) {
  AnalyzerAddress out;
  out.kind = AnalyzerAddress::Kind::Serial;
  const std::size_t question = text.find('?');
  const std::string_view resource = text.substr(0, question);
  constexpr std::string_view kSuffix = "::INSTR";
  if (resource.size() < kSuffix.size() || Upper(resource.substr(resource.size() - kSuffix.size())) != kSuffix) {
    Refuse(text, "does not end in ::INSTR");
  }
  out.path = std::string(resource.substr(4, resource.size() - 4 - kSuffix.size()));
  if (out.path.size() < 2 || out.path.front() != '/' || out.path.find("::") != std::string::npos) {
    Refuse(text, "names no serial port path (ASRL/dev/ttyUSB0::INSTR)");
  }
  if (question == std::string_view::npos) return out;
  std::string_view settings = text.substr(question + 1);
  std::vector<std::string> seen;
  for (;;) {
    const std::size_t comma = settings.find(',');
    const std::string_view pair = settings.substr(0, comma);
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) Refuse(text, "has a setting '" + std::string(pair) + "' without =");
    const std::string key(pair.substr(0, equals));
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) Refuse(text, "sets " + key + " twice");
    seen.push_back(key);
    Setting(text, key, pair.substr(equals + 1), out);
    if (comma == std::string_view::npos) return out;
    settings.remove_prefix(comma + 1);
  }
}

// ---- the forms, in the order they are tried ----

struct Form {
  bool (*matches)(std::string_view text);
  AnalyzerAddress (*parse)(std::string_view text);
};

AnalyzerAddress ParseSimulated(std::string_view text) {
  AnalyzerAddress out;
  out.kind = AnalyzerAddress::Kind::Simulated;
  if (text.size() > 3) out.sim_options = std::string(text.substr(4));
  return out;
}

AnalyzerAddress ParseReplay(std::string_view text) {
  AnalyzerAddress out;
  out.kind = AnalyzerAddress::Kind::Replay;
  out.path = std::string(text.substr(std::string_view("replay:").size()));
  if (out.path.empty()) Refuse(text, "names no record file");
  return out;
}

constexpr Form kParsers[] = {
    {[](std::string_view t) { return NamesSimulatedAnalyzer(t); }, ParseSimulated},
    {[](std::string_view t) { return t.starts_with("tcp://"); }, ParseTcp},
    {[](std::string_view t) { return t.starts_with("prologix://"); }, ParseController},
    {[](std::string_view t) { return StartsWithNoCase(t, "TCPIP"); }, ParseTcpip},
    {[](std::string_view t) { return StartsWithNoCase(t, "ASRL"); }, ParseSerial},
    {[](std::string_view t) { return t.starts_with("replay:"); }, ParseReplay},
};

}  // namespace

AnalyzerAddress ParseAnalyzerAddress(std::string_view text) {
  for (const Form& form : kParsers) {
    if (!form.matches(text)) continue;
    AnalyzerAddress out = form.parse(text);
    out.text = std::string(text);
    return out;
  }
  Refuse(text, "is of no known form");
}

bool NamesSimulatedAnalyzer(std::string_view text) {
  return text.empty() || text == "sim" || text.starts_with("sim:");
}

std::string_view AnalyzerAddressForms() { return kForms; }

}  // namespace multitone
