#pragma once
// The simulated analyzer over VXI-11: the core channel on the --bind
// address and a port of the system's choosing, registered with the port
// mapper (rpcbind) so that TCPIP::HOST::INSTR finds it. Device inst0 only;
// no abort or interrupt channel (create_link answers abortPort 0).
//
// Message exchange: a device_write with END ends a message (an LF is added
// when it has none); a new message while a reply is unread drops the reply
// and queues -410; a device_read with nothing to send queues -420 and ends
// at once with an I/O timeout. device_clear empties input and output and
// keeps the settings and the device's clock; device_readstb gives the IEEE
// 488.2 status byte; device_lock holds across both doors. A new link starts
// a session as a new socket client does.
//
// One process may hold one server (the RPC library's dispatch is global).
#include <functional>
#include <set>
#include <string>

#include "link/vxi11/vxi11.h"
#include "simserver/shared_analyzer.h"

namespace multitone::simserver {

class Vxi11Server {
 public:
  static constexpr unsigned long kMaxRecvSize = 256 * 1024;

  // Binds, listens and registers with the port mapper; throws
  // std::runtime_error with a message when any of it fails. `changed` is
  // called (with the analyzer's mutex held) after each message.
  Vxi11Server(SharedAnalyzer& shared, const std::string& bind, std::function<void()> changed);
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
  // 0 when the link may use the device now, else the VXI-11 error.
  long Admit(Device_Link link) const;

  SharedAnalyzer& shared_;
  std::function<void()> changed_;
  SVCXPRT* transport_ = nullptr;
  std::string address_;
  std::set<long> links_;         // open links
  long next_link_ = 1;
  std::string output_;           // the reply being read, from output_at_
  std::size_t output_at_ = 0;
  std::string piece_;            // the data of the last device_read answer
};

}  // namespace multitone::simserver
