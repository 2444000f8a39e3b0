#pragma once
// The simulated analyzer over VXI-11: the core channel on the --bind
// address and a port of the system's choosing, registered with the port
// mapper (rpcbind) so that TCPIP::HOST::INSTR finds it. Device inst0 only;
// a device_write of more than maxRecvSize bytes is a parameter error (5);
// no abort or interrupt channel (create_link answers abortPort 0).
//
// Message exchange: a device_write with END ends a message (an LF is added
// when it has none) and returns; the message runs on a worker thread, so a
// reply may come after a read has timed out. A new message while a reply is
// unread or still to come drops the reply and queues -410; a device_read
// waits up to its io_timeout for a reply, and with nothing to send (no
// reply, nothing running) queues -420 and ends at once with an I/O timeout. device_clear empties input and output and
// keeps the settings and the device's clock; device_readstb gives the IEEE
// 488.2 status byte; device_lock holds across both doors. A new link starts
// a session as a new socket client does.
//
// One process may hold one server (the RPC library's dispatch is global).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>

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
  // Runs complete messages in turn (the worker thread).
  void Work();
  // Empties input and output; replies of a running message are dropped.
  void DropMessages();
  void Report(sim::ScpiCode code, std::string_view detail);

  SharedAnalyzer& shared_;
  std::function<void()> changed_;
  SVCXPRT* transport_ = nullptr;
  std::string address_;
  std::set<long> links_;         // open links (RPC thread only)
  long next_link_ = 1;
  std::string piece_;            // the data of the last device_read answer

  // The door's message exchange, guarded by door_mutex_. No thread holds
  // door_mutex_ and shared_.mutex at the same time.
  std::mutex door_mutex_;
  std::condition_variable door_changed_;
  std::string input_;                 // the message being written (no END yet)
  std::deque<std::string> messages_;  // complete messages waiting to run
  bool running_ = false;              // the worker is running a message
  std::uint64_t epoch_ = 0;           // device clear: replies of older messages are dropped
  std::deque<std::string> replies_;   // replies not yet being read
  std::string output_;                // the reply being read, from output_at_
  std::size_t output_at_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace multitone::simserver
