#pragma once
// Each door's two halves, one file per door beside this header: how an
// address of its form is taken apart, and how its link is opened. The table
// that orders them is analyzer_doors.cpp.
#include <memory>
#include <string_view>

#include "app/doors/analyzer_doors.h"

namespace multitone::doors {

// simulated_door.cpp: sim[:OPTIONS]
AnalyzerAddress ParseSimulated(std::string_view text);
std::unique_ptr<Transport> OpenSimulated(const AnalyzerAddress& address, const DoorContext& context);

// replay_door.cpp: replay:FILE
AnalyzerAddress ParseReplay(std::string_view text);
std::unique_ptr<Transport> OpenReplay(const AnalyzerAddress& address, const DoorContext& context);

// socket_door.cpp: tcp://HOST[:PORT] and TCPIP[n]::HOST::PORT::SOCKET
bool ClaimsVisaSocket(std::string_view text);
AnalyzerAddress ParseSocketUrl(std::string_view text);
AnalyzerAddress ParseVisaSocket(std::string_view text);
std::unique_ptr<Transport> OpenSocket(const AnalyzerAddress& address, const DoorContext& context);

// vxi11_door.cpp: TCPIP[n]::HOST[::DEVICE][::INSTR]
AnalyzerAddress ParseVxi11(std::string_view text);
std::unique_ptr<Transport> OpenVxi11(const AnalyzerAddress& address, const DoorContext& context);

// hislip_door.cpp: TCPIP[n]::HOST::hislipN[,PORT][::INSTR]
bool ClaimsHislip(std::string_view text);
AnalyzerAddress ParseHislip(std::string_view text);
std::unique_ptr<Transport> OpenHislip(const AnalyzerAddress& address, const DoorContext& context);

// gpib_controller_door.cpp: prologix://HOST[:PORT]/ADDR and
// ASRL/dev/PATH::INSTR?gpib=ADDR
AnalyzerAddress ParseControllerOnLan(std::string_view text);
std::unique_ptr<Transport> OpenControllerOnLan(const AnalyzerAddress& address, const DoorContext& context);
AnalyzerAddress ParseControllerOnUsb(std::string_view text);
std::unique_ptr<Transport> OpenControllerOnUsb(const AnalyzerAddress& address, const DoorContext& context);

// serial_door.cpp: ASRL/dev/PATH::INSTR[?SETTINGS]
AnalyzerAddress ParseSerial(std::string_view text);
std::unique_ptr<Transport> OpenSerial(const AnalyzerAddress& address, const DoorContext& context);

}  // namespace multitone::doors
