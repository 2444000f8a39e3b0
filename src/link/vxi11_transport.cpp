#include "link/vxi11_transport.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "common/run_error.h"
#include "link/block_decoder.h"
#include "link/deadline.h"
#include "link/named_text.h"
#include "link/reply_reader.h"
#include "link/text_message.h"
#include "link/tirpc_library.h"
#include "link/vxi11/vxi11.h"

namespace multitone {
namespace {

// Flags and reasons of the VXI-11 core channel.
constexpr Device_Flags kEnd = 0x08;
constexpr long kReasonRequestCount = 0x01;
constexpr long kReasonTermChar = 0x02;
constexpr long kReasonEnd = 0x04;
constexpr unsigned long kReadPiece = 1 << 20;

[[noreturn]] void Fail(const std::string& what, const std::string& problem) {
  throw RunError(ErrorNumber::AnalyzerOperationFailed, what + ": " + problem);
}

// The device's error codes, as the VXI-11 standard names them.
std::string DeviceError(long code) {
  std::string meaning;
  switch (code) {
    case 1: meaning = "syntax error"; break;
    case 3: meaning = "device not accessible"; break;
    case 4: meaning = "invalid link identifier"; break;
    case 5: meaning = "parameter error"; break;
    case 6: meaning = "channel not established"; break;
    case 8: meaning = "operation not supported"; break;
    case 9: meaning = "out of resources"; break;
    case 11: meaning = "device locked by another link"; break;
    case 12: meaning = "no lock held by this link"; break;
    case 15: meaning = "I/O timeout"; break;
    case 17: meaning = "I/O error"; break;
    case 21: meaning = "invalid address"; break;
    case 23: meaning = "abort"; break;
    case 29: meaning = "channel already established"; break;
    default: meaning = "unknown error"; break;
  }
  return "device error " + std::to_string(code) + " (" + meaning + ")";
}

std::string ResolveNumeric(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (status != 0) {
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   "cannot resolve analyzer host '" + host + "': " + ::gai_strerror(status));
  }
  char text[NI_MAXHOST] = "";
  ::getnameinfo(found->ai_addr, found->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST);
  ::freeaddrinfo(found);
  return text;
}

class Vxi11Transport : public Transport {
 public:
  Vxi11Transport(std::string host, std::string device, std::chrono::milliseconds timeout)
      : host_(std::move(host)), device_(std::move(device)), timeout_(timeout) {}
  ~Vxi11Transport() override { Drop(); }
  Vxi11Transport(const Vxi11Transport&) = delete;
  Vxi11Transport& operator=(const Vxi11Transport&) = delete;

  void Initialize(std::string_view) override {
    const Deadline deadline = Deadline::After(timeout_);
    const std::string what = "opening VXI-11 link to " + device_ + " at " + host_;
    timeval limit = Limit(deadline, what);
    const char* netid = host_.find(':') != std::string::npos ? "tcp6" : "tcp";
    client_ = Tirpc().clnt_create_timed(host_.c_str(), DEVICE_CORE, DEVICE_CORE_VERSION, netid, &limit);
    if (client_ == nullptr) Fail(what, Trimmed(Tirpc().clnt_spcreateerror("")));
    // A call of several fragments (a long command) leaves without waiting
    // for acknowledgements.
    int fd = -1;
    if (clnt_control(client_, CLGET_FD, reinterpret_cast<char*>(&fd)) && fd >= 0) {
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    Create_LinkParms parms{};
    parms.clientId = static_cast<long>(::getpid());
    parms.lockDevice = 0;
    parms.lock_timeout = 0;
    parms.device = device_.data();
    Create_LinkResp resp{};
    Call(deadline, what, [&] { return create_link_1(&parms, &resp, client_); });
    if (resp.error != 0) Fail(what, "create_link: " + DeviceError(resp.error));
    link_ = resp.lid;
    linked_ = true;
    max_piece_ = resp.maxRecvSize == 0 ? 1024 : resp.maxRecvSize;
  }

  void Write(std::string_view text) override {
    const Deadline deadline = Deadline::After(timeout_);
    Send(text, deadline, "writing " + Named(text));
    last_written_ = Named(text);
  }

  std::string Read() override {
    const Deadline deadline = Deadline::After(timeout_);
    const std::string what = "reply to " + last_written_;
    return TextOfMessage(Receive(deadline, what, kMaxReplyBytes + 1), what);
  }

  std::vector<float> ReadBlock(std::string_view query) override {
    const Deadline deadline = Deadline::After(timeout_);
    const std::string what = "block for " + Named(query);
    Send(query, deadline, what);
    last_written_ = Named(query);
    const std::string message = Receive(deadline, what, kMaxBlockBytes + 16);
    return DecodeBlockMessage(message, what);
  }

  void Close() override {
    if (client_ == nullptr) return;
    const Deadline deadline = Deadline::After(timeout_);
    Device_Error resp{};
    Device_Link lid = link_;
    Call(deadline, "closing the VXI-11 link", [&] { return destroy_link_1(&lid, &resp, client_); });
    linked_ = false;
    Drop();
    if (resp.error != 0) Fail("closing the VXI-11 link", "destroy_link: " + DeviceError(resp.error));
  }

 private:
  void Drop() {
    if (client_ != nullptr) clnt_destroy(client_);
    client_ = nullptr;
  }

  CLIENT* Open(const std::string& what) {
    if (client_ == nullptr || !linked_) Fail(what, "the link is not open");
    return client_;
  }

  timeval Limit(Deadline deadline, const std::string& what) const {
    const int ms = deadline.RemainingMs();
    if (ms <= 0) Fail(what, TimeoutText());
    return timeval{ms / 1000, (ms % 1000) * 1000};
  }

  unsigned long IoTimeout(Deadline deadline, const std::string& what) const {
    const timeval left = Limit(deadline, what);
    return static_cast<unsigned long>(left.tv_sec * 1000 + left.tv_usec / 1000);
  }

  std::string TimeoutText() const {
    return "did not complete within the " + std::to_string(timeout_.count()) + " ms timeout";
  }

  static std::string Trimmed(const char* text) {
    std::string out(text);
    while (!out.empty() && (out.front() == ':' || out.front() == ' ')) out.erase(0, 1);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  }

  // One RPC with what is left of the deadline as its timeout.
  template <typename Rpc>
  void Call(Deadline deadline, const std::string& what, Rpc rpc) {
    timeval limit = Limit(deadline, what);
    clnt_control(client_, CLSET_TIMEOUT, reinterpret_cast<char*>(&limit));
    const clnt_stat status = rpc();
    if (status == RPC_TIMEDOUT) Fail(what, TimeoutText());
    if (status != RPC_SUCCESS) Fail(what, Trimmed(Tirpc().clnt_sperror(client_, "")));
  }

  void Send(std::string_view text, Deadline deadline, const std::string& what) {
    CLIENT* client = Open(what);
    std::size_t sent = 0;
    do {
      const std::size_t piece = std::min<std::size_t>(text.size() - sent, max_piece_);
      const bool last = sent + piece == text.size();
      Device_WriteParms parms{};
      parms.lid = link_;
      parms.io_timeout = IoTimeout(deadline, what);
      parms.lock_timeout = 0;
      parms.flags = last ? kEnd : 0;
      parms.data.data_len = static_cast<u_int>(piece);
      parms.data.data_val = const_cast<char*>(text.data() + sent);
      Device_WriteResp resp{};
      Call(deadline, what, [&] { return device_write_1(&parms, &resp, client); });
      if (resp.error != 0) Fail(what, "device_write: " + DeviceError(resp.error));
      if (resp.size > piece) Fail(what, "device_write took more bytes than were sent");
      sent += resp.size;  // a device that took part of a piece gets the rest again
    } while (sent < text.size());
  }

  std::string Receive(Deadline deadline, const std::string& what, std::size_t limit) {
    CLIENT* client = Open(what);
    std::string message;
    for (;;) {
      Device_ReadParms parms{};
      parms.lid = link_;
      parms.requestSize = kReadPiece;
      parms.io_timeout = IoTimeout(deadline, what);
      parms.lock_timeout = 0;
      parms.flags = 0;
      Device_ReadResp resp{};
      Call(deadline, what, [&] { return device_read_1(&parms, &resp, client); });
      const long error = resp.error;
      const long reason = resp.reason;
      message.append(resp.data.data_val, resp.data.data_len);
      Tirpc().xdr_free(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), reinterpret_cast<char*>(&resp));
      if (error == 15) {
        Fail(what, message.empty() ? TimeoutText()
                                   : "reply ended after " + std::to_string(message.size()) + " bytes: " +
                                         TimeoutText());
      }
      if (error != 0) Fail(what, "device_read: " + DeviceError(error));
      if (message.size() > limit) Fail(what, "message longer than " + std::to_string(limit - 1) + " bytes");
      if ((reason & kReasonEnd) != 0) return message;
      if ((reason & (kReasonRequestCount | kReasonTermChar)) == 0) {
        Fail(what, "device_read returned without a reason (" + std::to_string(reason) + ")");
      }
    }
  }

  std::string host_;
  std::string device_;
  std::chrono::milliseconds timeout_;
  CLIENT* client_ = nullptr;
  Device_Link link_ = 0;
  bool linked_ = false;
  std::size_t max_piece_ = 1024;
  std::string last_written_;
};

}  // namespace

std::unique_ptr<Transport> OpenVxi11Transport(const std::string& host, const std::string& device,
                                              std::chrono::milliseconds timeout) {
  Tirpc();  // a missing library is found here, before any RPC
  return std::make_unique<Vxi11Transport>(ResolveNumeric(host), device, timeout);
}

}  // namespace multitone
