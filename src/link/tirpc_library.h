#pragma once
// libtirpc, the ONC RPC library under VXI-11, loaded when the first VXI-11
// link is opened instead of when the program starts: it brings Kerberos
// (GSS-API) with it, which a run over a socket, a serial line or the
// built-in analyzer has no use for. Only the functions VXI-11 calls, each
// under its own name. C as well as C++: the XDR routines rpcgen generates
// call through the same table (link/vxi11/xdr_calls.h).
#include <rpc/rpc.h>

#ifdef __cplusplus
extern "C" {
#endif

struct TirpcFunctions {
  // The link (link/vxi11_transport.cpp).
  __typeof__(&clnt_create_timed) clnt_create_timed;
  __typeof__(&clnt_spcreateerror) clnt_spcreateerror;
  __typeof__(&clnt_sperror) clnt_sperror;
  __typeof__(&xdr_free) xdr_free;
  // The generated XDR routines and client stubs.
  __typeof__(&xdr_bool) xdr_bool;
  __typeof__(&xdr_bytes) xdr_bytes;
  __typeof__(&xdr_char) xdr_char;
  __typeof__(&xdr_enum) xdr_enum;
  __typeof__(&xdr_long) xdr_long;
  __typeof__(&xdr_string) xdr_string;
  __typeof__(&xdr_u_char) xdr_u_char;
  __typeof__(&xdr_u_long) xdr_u_long;
  __typeof__(&xdr_u_short) xdr_u_short;
  __typeof__(&xdr_void) xdr_void;
};

// The table for C callers, loaded on the first call as Tirpc() does. The
// link loads it before it makes an RPC client, so that a missing library is
// never found inside an XDR routine; analyzer-sim links libtirpc itself.
const struct TirpcFunctions* multitone_tirpc(void);

#ifdef __cplusplus
}

namespace multitone {

// libtirpc.so.3's functions, loaded on the first call. Throws RunError 429,
// naming Debian's libtirpc3 package, when the library or one of them is
// missing; a call that throws leaves the next to try again.
const TirpcFunctions& Tirpc();

// The same from the library `file`: Tirpc() is LoadTirpc("libtirpc.so.3")
// done once. Throws as Tirpc() does.
TirpcFunctions LoadTirpc(const char* file);

}  // namespace multitone
#endif
