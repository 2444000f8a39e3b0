#include "simserver/vxi11_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

extern "C" void device_core_1(struct svc_req* request, SVCXPRT* transport);

namespace multitone::simserver {
namespace {

// VXI-11 error codes and flags.
constexpr long kNoError = 0;
constexpr long kDeviceNotAccessible = 3;
constexpr long kInvalidLink = 4;
constexpr long kParameterError = 5;
constexpr long kLockedByAnother = 11;
constexpr long kNoLockHeld = 12;
constexpr Device_Flags kEndFlag = 0x08;

Vxi11Server* g_server = nullptr;  // the one server the dispatch calls

std::string Describe(const sockaddr_storage& address) {
  char host[INET6_ADDRSTRLEN] = "?";
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    ::inet_ntop(AF_INET, &v4.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(v4.sin_port));
  }
  const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
  ::inet_ntop(AF_INET6, &v6.sin6_addr, host, sizeof host);
  return "[" + std::string(host) + "]:" + std::to_string(ntohs(v6.sin6_port));
}

int Listen(const std::string& bind) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(bind.c_str(), "0", &hints, &found);
  if (status != 0) throw std::runtime_error("cannot use address '" + bind + "': " + ::gai_strerror(status));
  int fd = -1;
  std::string problem = "no address to bind";
  for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, 8) != 0) {
      problem = std::strerror(errno);
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  if (fd < 0) throw std::runtime_error("cannot listen for VXI-11 on " + bind + ": " + problem);
  return fd;
}

// Whether a server accepts TCP at the address within a second.
bool Accepts(const sockaddr_storage& address, socklen_t length) {
  const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  bool accepted = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  if (!accepted && errno == EINPROGRESS) {
    pollfd wait{fd, POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof error;
    accepted = ::poll(&wait, 1, 1000) == 1 &&
               ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
  }
  ::close(fd);
  return accepted;
}

// The core channel another server registered with the port mapper (over
// IPv4) and still serves ("127.0.0.1:PORT"); empty when there is none, or
// only the entry of one that was killed.
std::string LiveRegistration() {
  sockaddr_in mapper{};
  mapper.sin_family = AF_INET;
  mapper.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const u_short port = ::pmap_getport(&mapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
  if (port == 0) return "";
  sockaddr_storage address{};
  auto& core = reinterpret_cast<sockaddr_in&>(address);
  core.sin_family = AF_INET;
  core.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  core.sin_port = htons(port);
  return Accepts(address, sizeof core) ? Describe(address) : "";
}

}  // namespace

std::string Vxi11DeviceKey(const std::string& requested) {
  std::string name = requested;
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  const auto digits = [](std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (name.rfind("inst", 0) == 0 && digits(std::string_view(name).substr(4))) return "inst0";
  const std::size_t comma = name.find(',');
  if (comma == std::string::npos || !(name.rfind("gpib", 0) == 0 || name.rfind("hpib", 0) == 0)) return "";
  const std::string board = name.substr(4, comma - 4);
  const std::string address = name.substr(comma + 1);
  if (!(board.empty() || board == "0") || !digits(address) || address.size() > 2) return "";
  return "gpib0," + std::to_string(std::stoi(address));
}

Vxi11Server::Vxi11Server(const std::vector<Vxi11Target>& devices, const std::string& bind) {
  if (g_server != nullptr) throw std::runtime_error("one VXI-11 server per process");
  // One program number, one server: a live one keeps its entry (as a port
  // in use keeps its server); the entry of one that was killed is taken over.
  if (const std::string live = LiveRegistration(); !live.empty()) {
    throw std::runtime_error("another VXI-11 server is registered with the port mapper and serves on " +
                             live + "; stop it first");
  }
  for (const Vxi11Target& target : devices) {
    devices_[target.name] = std::make_unique<Vxi11Device>(*target.shared, target.changed);
  }
  const int fd = Listen(bind);
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  address_ = Describe(bound);
  // Accepted connections inherit TCP_NODELAY: a reply of several fragments
  // leaves without waiting for acknowledgements.
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  transport_ = ::svctcp_create(fd, kMaxRecvSize + 1024, kMaxRecvSize + 1024);
  if (transport_ == nullptr) {
    ::close(fd);
    throw std::runtime_error("cannot create the VXI-11 RPC transport");
  }
  // Dispatch without the library's own port-mapper registration (it leaks),
  // then one registration of exactly the address bound.
  if (!::svc_register(transport_, DEVICE_CORE, DEVICE_CORE_VERSION, device_core_1, 0)) {
    svc_destroy(transport_);
    throw std::runtime_error("cannot set up the VXI-11 dispatch");
  }
  netconfig* config = ::getnetconfigent(bound.ss_family == AF_INET6 ? "tcp6" : "tcp");
  netbuf where{length, length, &bound};
  ::rpcb_unset(DEVICE_CORE, DEVICE_CORE_VERSION, nullptr);
  const bool registered = config != nullptr && ::rpcb_set(DEVICE_CORE, DEVICE_CORE_VERSION, config, &where);
  if (config != nullptr) ::freenetconfigent(config);
  if (!registered) {
    ::svc_unregister(DEVICE_CORE, DEVICE_CORE_VERSION);
    svc_destroy(transport_);
    throw std::runtime_error("cannot register VXI-11 with the port mapper (is rpcbind running?)");
  }
  g_server = this;
}

Vxi11Server::~Vxi11Server() {
  ::rpcb_unset(DEVICE_CORE, DEVICE_CORE_VERSION, nullptr);
  ::svc_unregister(DEVICE_CORE, DEVICE_CORE_VERSION);
  svc_destroy(transport_);
  g_server = nullptr;
}

void Vxi11Server::Serve(int stop_fd) {
  for (;;) {
    std::vector<pollfd> fds(svc_pollfd, svc_pollfd + svc_max_pollfd);
    fds.push_back({stop_fd, POLLIN, 0});
    const int ready = ::poll(fds.data(), fds.size(), -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds.back().revents != 0) return;
    fds.pop_back();
    ::svc_getreq_poll(fds.data(), ready);
  }
}

Vxi11Device* Vxi11Server::DeviceOf(Device_Link link) const {
  const auto found = links_.find(link);
  return found == links_.end() ? nullptr : found->second;
}

long Vxi11Server::Admit(Device_Link link) const {
  Vxi11Device* device = DeviceOf(link);
  if (device == nullptr) return kInvalidLink;
  const long holder = device->Shared().lock_holder;
  if (holder != 0 && holder != link) return kLockedByAnother;
  return kNoError;
}

void Vxi11Server::CreateLink(const Create_LinkParms& in, Create_LinkResp& out) {
  out = Create_LinkResp{};
  const auto found = devices_.find(in.device == nullptr ? "" : Vxi11DeviceKey(in.device));
  if (found == devices_.end()) {
    out.error = kDeviceNotAccessible;
    return;
  }
  Vxi11Device& device = *found->second;
  if (in.lockDevice && device.Shared().lock_holder != 0) {
    out.error = kLockedByAnother;
    return;
  }
  const long link = next_link_++;
  links_[link] = &device;
  device.StartSession(in.lockDevice, link);
  out.error = kNoError;
  out.lid = link;
  out.abortPort = 0;
  out.maxRecvSize = kMaxRecvSize;
}

void Vxi11Server::Write(const Device_WriteParms& in, Device_WriteResp& out) {
  out = Device_WriteResp{};
  out.error = Admit(in.lid);
  if (out.error == kNoError && in.data.data_len > kMaxRecvSize) out.error = kParameterError;
  if (out.error != kNoError) return;
  DeviceOf(in.lid)->Write(std::string_view(in.data.data_val, in.data.data_len), (in.flags & kEndFlag) != 0);
  out.size = in.data.data_len;
}

void Vxi11Server::Read(const Device_ReadParms& in, Device_ReadResp& out) {
  out = Device_ReadResp{};
  out.error = Admit(in.lid);
  if (out.error != kNoError) return;
  const long reason = DeviceOf(in.lid)->Read(in, piece_);
  if (reason < 0) {
    out.error = -reason;
    return;
  }
  out.reason = reason;
  out.data.data_len = static_cast<u_int>(piece_.size());
  out.data.data_val = piece_.data();
}

void Vxi11Server::ReadStatusByte(const Device_GenericParms& in, Device_ReadStbResp& out) {
  out = Device_ReadStbResp{};
  Vxi11Device* device = DeviceOf(in.lid);
  out.error = device == nullptr ? kInvalidLink : kNoError;
  if (device != nullptr) out.stb = device->StatusByte();
}

long Vxi11Server::Clear(const Device_GenericParms& in) {
  const long error = Admit(in.lid);
  if (error != kNoError) return error;
  DeviceOf(in.lid)->Clear();
  return kNoError;
}

long Vxi11Server::Lock(const Device_LockParms& in) {
  Vxi11Device* device = DeviceOf(in.lid);
  if (device == nullptr) return kInvalidLink;
  std::lock_guard<std::mutex> hold(device->Shared().mutex);  // the socket door reads the holder
  const long error = Admit(in.lid);
  if (error != kNoError) return error;
  device->Shared().lock_holder = in.lid;
  return kNoError;
}

long Vxi11Server::Unlock(Device_Link link) {
  Vxi11Device* device = DeviceOf(link);
  if (device == nullptr) return kInvalidLink;
  SharedAnalyzer& shared = device->Shared();
  {
    std::lock_guard<std::mutex> hold(shared.mutex);
    if (shared.lock_holder != link) return kNoLockHeld;
    shared.lock_holder = 0;
  }
  shared.unlocked.notify_all();
  return kNoError;
}

long Vxi11Server::DestroyLink(Device_Link link) {
  Vxi11Device* device = DeviceOf(link);
  if (device == nullptr) return kInvalidLink;
  links_.erase(link);
  SharedAnalyzer& shared = device->Shared();
  {
    std::lock_guard<std::mutex> hold(shared.mutex);
    if (shared.lock_holder != link) return kNoError;
    shared.lock_holder = 0;
  }
  shared.unlocked.notify_all();
  return kNoError;
}

long Vxi11Server::Generic(Device_Link link) { return Admit(link); }

}  // namespace multitone::simserver

// ---- The procedures the generated dispatch (rpcgen -M) calls -----------------

using multitone::simserver::g_server;
namespace {
constexpr long kNotSupported = 8;
}  // namespace

extern "C" {

bool_t create_link_1_svc(Create_LinkParms* in, Create_LinkResp* out, struct svc_req*) {
  g_server->CreateLink(*in, *out);
  return TRUE;
}
bool_t device_write_1_svc(Device_WriteParms* in, Device_WriteResp* out, struct svc_req*) {
  g_server->Write(*in, *out);
  return TRUE;
}
bool_t device_read_1_svc(Device_ReadParms* in, Device_ReadResp* out, struct svc_req*) {
  g_server->Read(*in, *out);
  return TRUE;
}
bool_t device_readstb_1_svc(Device_GenericParms* in, Device_ReadStbResp* out, struct svc_req*) {
  g_server->ReadStatusByte(*in, *out);
  return TRUE;
}
bool_t device_trigger_1_svc(Device_GenericParms* in, Device_Error* out, struct svc_req*) {
  out->error = g_server->Generic(in->lid);
  return TRUE;
}
bool_t device_clear_1_svc(Device_GenericParms* in, Device_Error* out, struct svc_req*) {
  out->error = g_server->Clear(*in);
  return TRUE;
}
bool_t device_remote_1_svc(Device_GenericParms* in, Device_Error* out, struct svc_req*) {
  out->error = g_server->Generic(in->lid);
  return TRUE;
}
bool_t device_local_1_svc(Device_GenericParms* in, Device_Error* out, struct svc_req*) {
  out->error = g_server->Generic(in->lid);
  return TRUE;
}
bool_t device_lock_1_svc(Device_LockParms* in, Device_Error* out, struct svc_req*) {
  out->error = g_server->Lock(*in);
  return TRUE;
}
bool_t device_unlock_1_svc(Device_Link* in, Device_Error* out, struct svc_req*) {
  out->error = g_server->Unlock(*in);
  return TRUE;
}
bool_t device_enable_srq_1_svc(Device_EnableSrqParms*, Device_Error* out, struct svc_req*) {
  out->error = kNotSupported;
  return TRUE;
}
bool_t device_docmd_1_svc(Device_DocmdParms*, Device_DocmdResp* out, struct svc_req*) {
  *out = Device_DocmdResp{};
  out->error = kNotSupported;
  return TRUE;
}
bool_t destroy_link_1_svc(Device_Link* in, Device_Error* out, struct svc_req*) {
  out->error = g_server->DestroyLink(*in);
  return TRUE;
}
bool_t create_intr_chan_1_svc(Device_RemoteFunc*, Device_Error* out, struct svc_req*) {
  out->error = kNotSupported;
  return TRUE;
}
bool_t destroy_intr_chan_1_svc(void*, Device_Error* out, struct svc_req*) {
  out->error = kNotSupported;
  return TRUE;
}
// The abort and interrupt channels are not served; the dispatch that would
// call these is never registered.
bool_t device_abort_1_svc(Device_Link*, Device_Error* out, struct svc_req*) {
  out->error = kNotSupported;
  return TRUE;
}
bool_t device_intr_srq_1_svc(Device_SrqParms*, void*, struct svc_req*) { return TRUE; }

// Results point into the server's own buffers: nothing to free.
int device_core_1_freeresult(SVCXPRT*, xdrproc_t, caddr_t) { return 1; }
int device_async_1_freeresult(SVCXPRT*, xdrproc_t, caddr_t) { return 1; }
int device_intr_1_freeresult(SVCXPRT*, xdrproc_t, caddr_t) { return 1; }

}  // extern "C"
