#pragma once
// Every way multitone reaches an analyzer, one row per form of --analyzer
// address: the form as the help shows it, how an address of that form is
// taken apart, and how its link is opened. The rows are tried in order; the
// first that claims the text parses it, and the same row opens its link. A
// new door is a row here and a file beside it.
//
//   sim[:OPTIONS] or nothing               the built-in simulated analyzer
//   replay:FILE                            a run recorded with --record FILE
//   tcp://HOST[:PORT]                      SCPI on a raw socket (port 5025)
//   TCPIP[n]::HOST::PORT::SOCKET           the same raw socket
//   TCPIP[n]::HOST[::DEVICE][::INSTR]      VXI-11; DEVICE is instN (inst0 when
//                                          none is given), or on a LAN/GPIB
//                                          gateway gpibN,ADDR[,SECONDARY] or
//                                          hpib,ADDR[,SECONDARY]
//   TCPIP[n]::HOST::hislipN[,PORT][::INSTR]  HiSLIP, sub-address hislipN, on
//                                          PORT (4880)
//   prologix://HOST[:PORT]/ADDR[,SECONDARY]   a "++" GPIB controller on the
//                                          LAN (port 1234), analyzer at ADDR
//   ASRL/dev/PATH::INSTR?gpib=ADDR[,...]   the same controller on USB (a
//                                          serial port), analyzer at ADDR
//   ASRL/dev/PATH::INSTR[?SETTINGS]        an RS-232 line (serial port)
//
// SETTINGS are KEY=VALUE pairs joined by ",": baud (50 to 4000000, 9600),
// bits (5 to 8, 8), parity (none, even, odd, mark, space; none), stop (1 or 2,
// 1), flow (none, rtscts, xonxoff; none), term (lf or cr, lf: the byte that
// ends every message both ways), gpib (the analyzer's GPIB address behind a
// USB controller, 0 to 30).
//
// The VISA forms are case-insensitive in their keywords (TCPIP, SOCKET, INSTR,
// ASRL, instN, gpib, hislip); hosts, paths and device names keep their case. An IPv6
// host goes in brackets. Nothing is resolved or opened by parsing.
#include <chrono>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "link/analyzer_address.h"
#include "link/transport.h"

namespace multitone {

class EmbeddedAnalyzer;

// What opening a link needs besides the address.
struct DoorContext {
  std::chrono::milliseconds timeout{20000};
  // The built-in simulated analyzer lands here (when not null), so the
  // program can show its display after the run.
  std::shared_ptr<EmbeddedAnalyzer>* embedded = nullptr;
  // replay:FILE keeps the recorded delays between operations.
  bool replay_timing = false;
  // Where a door shows its own messages under --trace (HiSLIP's), or null.
  std::ostream* trace = nullptr;
};

struct AnalyzerDoor {
  std::string_view name;  // "socket", as records and messages name the door
  std::string_view form;  // "tcp://HOST[:PORT]", as the help shows it
  // No analyzer behind it: the built-in simulator, or a record replayed.
  bool simulated;
  // True when `text` is of this form (its scheme or keyword); cheap.
  bool (*claims)(std::string_view text);
  // Takes a claimed text apart. Throws RunError 429 naming what is wrong.
  AnalyzerAddress (*parse)(std::string_view text);
  // The link's transport; connecting may happen in its Initialize. Throws
  // RunError 429 when it cannot be created.
  std::unique_ptr<Transport> (*open)(const AnalyzerAddress& address, const DoorContext& context);
};

// An address taken apart, with the door it goes through.
struct DoorAddress {
  const AnalyzerDoor* door;
  AnalyzerAddress address;
};

// The rows, in the order they are tried.
std::span<const AnalyzerDoor> AnalyzerDoors();

// Takes `text` apart through the first row that claims it. Throws RunError
// 429 (the link cannot be created) naming the address, what is wrong and
// either the forms expected or, for a near miss (a scheme in upper case, a
// bare GPIB address), the form to type.
DoorAddress ParseAnalyzerAddress(std::string_view text);

// Why `text` would be refused by ParseAnalyzerAddress, or "" when it would
// not: the check of --analyzer and the station file's address.
std::string WhyAnalyzerAddressIsRefused(std::string_view text);

// Opens the link's transport through the address's own door.
std::unique_ptr<Transport> OpenAnalyzerTransport(const DoorAddress& address, const DoorContext& context);

// True for "", "sim" and "sim:...": the built-in simulated analyzer. Never
// throws.
bool NamesSimulatedAnalyzer(std::string_view text);
// True when `text` is a well-formed address with no analyzer behind it: the
// built-in simulator or a record replayed. Never throws.
bool NamesNoAnalyzer(std::string_view text);
// The record FILE of a well-formed "replay:FILE"; empty for any other
// address. Never throws.
std::string ReplayedRecordFile(std::string_view text);

// Every form in one line, for messages and --help.
std::string_view AnalyzerAddressForms();

}  // namespace multitone
