#pragma once
// libtirpc, the ONC RPC library under VXI-11, loaded when the first VXI-11
// link is opened instead of when the program starts: it brings Kerberos
// (GSS-API) with it, which a run over a socket, a serial line or the
// built-in analyzer has no use for. Only the functions VXI-11 calls, each
// C as well as C++: the XDR routines rpcgen generates
// call through the same table (link/vxi11/xdr_calls.h).
#include <rpc/rpc.h>

#include "common/shared_library.h"

#ifdef __cplusplus
extern "C" {
#endif

// The link's calls (link/vxi11_transport.cpp), then those of the generated
// XDR routines and client stubs.
#define MULTITONE_TIRPC_FUNCTIONS(F)                                                                   \
  F(clnt_create_timed) F(clnt_spcreateerror) F(clnt_sperror) F(xdr_free) F(xdr_bool) F(xdr_bytes) F(xdr_char) \
  F(xdr_enum) F(xdr_long) F(xdr_string) F(xdr_u_char) F(xdr_u_long) F(xdr_u_short) F(xdr_void)

struct TirpcFunctions {
  MULTITONE_TIRPC_FUNCTIONS(MULTITONE_LIBRARY_MEMBER)
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
