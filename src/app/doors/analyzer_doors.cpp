#include "app/doors/analyzer_doors.h"

#include "app/doors/address_fields.h"
#include "app/doors/door_rows.h"
#include "common/run_error.h"

namespace multitone {
namespace {

using namespace doors;

// Tried in this order: the VISA socket and HiSLIP before VXI-11 (all TCPIP::), the ++
// controller on USB before the plain serial line (both ASRL).
constexpr AnalyzerDoor kDoors[] = {
    {"simulated", "sim[:OPTIONS]", true, NamesSimulatedAnalyzer, ParseSimulated, OpenSimulated},
    {"replay", "replay:FILE", true, [](std::string_view t) { return t.starts_with("replay:"); }, ParseReplay,
     OpenReplay},
    {"socket", "tcp://HOST[:PORT]", false, [](std::string_view t) { return t.starts_with("tcp://"); },
     ParseSocketUrl, OpenSocket},
    {"socket", "TCPIP[board]::HOST::PORT::SOCKET", false, ClaimsVisaSocket, ParseVisaSocket, OpenSocket},
    {"hislip", "TCPIP[board]::HOST::hislipN[,PORT][::INSTR]", false, ClaimsHislip, ParseHislip, OpenHislip},
    {"vxi11", "TCPIP[board]::HOST[::instN|::gpibN,ADDR[,SECONDARY]][::INSTR]", false,
     [](std::string_view t) { return StartsWithNoCase(t, "TCPIP"); }, ParseVxi11, OpenVxi11},
    {"gpib controller on the LAN", "prologix://HOST[:PORT]/ADDR[,SECONDARY]", false,
     [](std::string_view t) { return t.starts_with("prologix://"); }, ParseControllerOnLan, OpenControllerOnLan},
    {"gpib controller on USB", "ASRL/dev/PATH::INSTR?gpib=ADDR[,SETTINGS]", false,
     [](std::string_view t) { return StartsWithNoCase(t, "ASRL") && NamesGpibSetting(t); }, ParseControllerOnUsb,
     OpenControllerOnUsb},
    {"serial", "ASRL/dev/PATH::INSTR[?SETTINGS]", false, [](std::string_view t) { return StartsWithNoCase(t, "ASRL"); },
     ParseSerial, OpenSerial},
};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return out;
}

// What to type instead of a text no row claims, when it is near one: a
// scheme in the wrong case, a bare GPIB resource, HOST:PORT without its
// scheme. Empty when nothing is near.
std::string NearMiss(std::string_view text) {
  for (const std::string_view scheme : {"tcp://", "prologix://", "replay:"}) {
    if (Lower(text.substr(0, scheme.size())) == scheme && !text.starts_with(scheme)) {
      return "; did you mean '" + std::string(scheme) + std::string(text.substr(scheme.size())) +
             "'? (the scheme is written in lower case)";
    }
  }
  if (Lower(text) == "sim" || Lower(text.substr(0, 4)) == "sim:") {
    return "; did you mean 'sim" + std::string(text.substr(3)) + "'? (sim is written in lower case)";
  }
  if (StartsWithNoCase(text, "GPIB")) {
    const std::vector<std::string_view> fields = VisaFields(text);
    const std::string gpib = fields.size() > 1 && AllDigits(fields[1]) ? std::string(fields[1]) : "ADDR";
    return "; a GPIB address is reached through a LAN/GPIB gateway (TCPIP::GATEWAY::gpib0," + gpib +
           "::INSTR) or a ++ GPIB controller (prologix://HOST/" + gpib + " on the LAN, ASRL/dev/ttyUSB0::INSTR?gpib=" +
           gpib + " on USB)";
  }
  if (StartsWithNoCase(text, "USB")) {
    return "; USB instruments (USBTMC) are not reached here: use the analyzer's LAN, GPIB or serial port";
  }
  const std::size_t colon = text.rfind(':');
  if (colon != std::string_view::npos && colon > 0 && AllDigits(text.substr(colon + 1)) &&
      text.find("://") == std::string_view::npos) {
    return "; did you mean 'tcp://" + std::string(text) + "'? (a raw socket)";
  }
  return "";
}

}  // namespace

std::span<const AnalyzerDoor> AnalyzerDoors() { return kDoors; }

DoorAddress ParseAnalyzerAddress(std::string_view text) {
  for (const AnalyzerDoor& door : kDoors) {
    if (!door.claims(text)) continue;
    DoorAddress parsed{&door, door.parse(text)};
    parsed.address.text = std::string(text);
    return parsed;
  }
  if (const std::string hint = NearMiss(text); !hint.empty()) {
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   "analyzer address '" + std::string(text) + "' is of no known form" + hint);
  }
  Refuse(text, "is of no known form");
}

std::string WhyAnalyzerAddressIsRefused(std::string_view text) {
  try {
    ParseAnalyzerAddress(text);
    return "";
  } catch (const RunError& error) {
    return error.Description();
  }
}

std::unique_ptr<Transport> OpenAnalyzerTransport(const DoorAddress& address, const DoorContext& context) {
  return address.door->open(address.address, context);
}

bool NamesNoAnalyzer(std::string_view text) {
  try {
    return ParseAnalyzerAddress(text).door->simulated;
  } catch (const RunError&) {
    return false;
  }
}

std::string ReplayedRecordFile(std::string_view text) {
  try {
    const DoorAddress parsed = ParseAnalyzerAddress(text);
    return parsed.door->open == OpenReplay ? parsed.address.path : "";
  } catch (const RunError&) {
    return "";
  }
}

bool NamesSimulatedAnalyzer(std::string_view text) {
  return text.empty() || text == "sim" || text.starts_with("sim:");
}

std::string_view AnalyzerAddressForms() {
  static const std::string forms = [] {
    std::string joined;
    for (const AnalyzerDoor& door : kDoors) {
      if (!joined.empty()) joined += ", ";
      joined += door.form;
    }
    return joined;
  }();
  return forms;
}

}  // namespace multitone
