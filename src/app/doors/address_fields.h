#pragma once
// The pieces the address forms share: a refusal that names the address, the
// VISA keywords' case rules, hosts and ports, GPIB addresses and a serial
// line's settings. Each piece throws RunError 429 for what it refuses.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/analyzer_address.h"

namespace multitone::doors {

// Throws RunError 429: "analyzer address 'TEXT' PROBLEM (expected FORMS)".
[[noreturn]] void Refuse(std::string_view text, const std::string& problem);

std::string Upper(std::string_view text);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool AllDigits(std::string_view text);
// A plain decimal number within [low, high], or nothing.
std::optional<int> Number(std::string_view text, int low, int high);

// A host with an optional ":PORT" (tcp://, prologix://): `rest` is what
// follows the scheme.
void HostAndPort(std::string_view text, std::string_view rest, int default_port, AnalyzerAddress& out);
// A port 1 to 65535.
int Port(std::string_view text, std::string_view field);
// A GPIB primary address and an optional secondary one (data() == nullptr:
// none), each 0 to 30.
GpibAddress Gpib(std::string_view text, std::string_view primary, std::string_view secondary);

// A VISA resource's "::"-separated fields; a bracketed IPv6 host keeps its
// own colons.
std::vector<std::string_view> VisaFields(std::string_view text);
// A VISA host field, without its brackets.
std::string VisaHost(std::string_view text, std::string_view field);
// Refuses fields that do not start with TCPIP or TCPIPn and a host.
void CheckTcpipInterface(std::string_view text, const std::vector<std::string_view>& fields);

// ASRL/dev/PATH::INSTR[?SETTINGS]: the path into out.path, the settings into
// out.serial, and a gpib= setting into out.gpib.
void SerialResource(std::string_view text, AnalyzerAddress& out);
// True when an ASRL address carries a gpib= setting (a ++ controller on USB).
bool NamesGpibSetting(std::string_view text);

}  // namespace multitone::doors
