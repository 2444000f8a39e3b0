#pragma once
// The simulated analyzer over VXI-11: the core channel on the --bind
// address and a port of the system's choosing, registered with the port
// mapper (rpcbind) so that TCPIP::HOST::INSTR finds it. Its devices are
// inst0 and, as a LAN/GPIB gateway, analyzers at GPIB addresses
// (gpib0,ADDR; also reached as gpib,ADDR and hpib,ADDR), each with its own
// state and message exchange (simserver/vxi11_device.h). create_link to a
// name with no device behind it fails with error 3 (device not accessible).
// A device_write of more than maxRecvSize bytes is a parameter error (5); no
// abort or interrupt channel (create_link answers abortPort 0).
// device_readstb gives the IEEE 488.2 status byte; device_lock holds across
// both doors of a device. A new link starts a session as a new socket client
// does.
//
// One process may hold one server (the RPC library's dispatch is global).
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/vxi11/vxi11.h"
#include "simserver/shared_analyzer.h"
#include "simserver/vxi11_device.h"

namespace multitone::simserver {

// A device the server offers: its name ("inst0", "gpib0,5") and analyzer.
struct Vxi11Target {
  std::string name;
  SharedAnalyzer* shared = nullptr;
  std::function<void()> changed;  // called with the analyzer's mutex held after each message
};

// The name a device is offered under, for a name a client asks for: "inst0"
// for instN, "gpib0,ADDR" for gpib0,ADDR, gpib,ADDR and hpib,ADDR (any case);
// empty for anything else.
std::string Vxi11DeviceKey(const std::string& requested);

class Vxi11Server {
 public:
  static constexpr unsigned long kMaxRecvSize = 256 * 1024;

  // Binds, listens and registers with the port mapper; throws
  // std::runtime_error with a message when any of it fails.
  Vxi11Server(const std::vector<Vxi11Target>& devices, const std::string& bind);
  ~Vxi11Server();  // unregisters
  Vxi11Server(const Vxi11Server&) = delete;
  Vxi11Server& operator=(const Vxi11Server&) = delete;

  // "127.0.0.1:38211", the core channel's address.
  const std::string& Address() const { return address_; }

  // Serves RPCs until `stop_fd` becomes readable (on a thread of its own).
  void Serve(int stop_fd);

  // The procedures, called by the generated dispatch.
  void CreateLink(const Create_LinkParms& in, Create_LinkResp& out);
  void Write(const Device_WriteParms& in, Device_WriteResp& out);
  void Read(const Device_ReadParms& in, Device_ReadResp& out);
  void ReadStatusByte(const Device_GenericParms& in, Device_ReadStbResp& out);
  long Clear(const Device_GenericParms& in);
  long Lock(const Device_LockParms& in);
  long Unlock(Device_Link link);
  long DestroyLink(Device_Link link);
  long Generic(Device_Link link);  // trigger, remote, local: nothing to do

 private:
  // The link's device, or null for an unknown link.
  Vxi11Device* DeviceOf(Device_Link link) const;
  // 0 when the link may use its device now, else the VXI-11 error.
  long Admit(Device_Link link) const;

  SVCXPRT* transport_ = nullptr;
  std::string address_;
  std::map<std::string, std::unique_ptr<Vxi11Device>> devices_;  // by key
  std::map<long, Vxi11Device*> links_;  // open links (RPC thread only)
  long next_link_ = 1;
  std::string piece_;                   // the data of the last device_read answer
};

}  // namespace multitone::simserver
