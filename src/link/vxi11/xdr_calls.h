/* Included ahead of the C that rpcgen generates from vxi11.x for the link
   (the XDR routines and the client stubs): their calls into libtirpc go
   through the table of the library loaded on first use
   (link/tirpc_library.h), so the program itself does not link libtirpc. */
#ifndef MULTITONE_LINK_VXI11_XDR_CALLS_H
#define MULTITONE_LINK_VXI11_XDR_CALLS_H

#include <rpc/rpc.h>

#include "link/tirpc_library.h"

#define xdr_bool (multitone_tirpc()->xdr_bool)
#define xdr_bytes (multitone_tirpc()->xdr_bytes)
#define xdr_char (multitone_tirpc()->xdr_char)
#define xdr_enum (multitone_tirpc()->xdr_enum)
#define xdr_long (multitone_tirpc()->xdr_long)
#define xdr_string (multitone_tirpc()->xdr_string)
#define xdr_u_char (multitone_tirpc()->xdr_u_char)
#define xdr_u_long (multitone_tirpc()->xdr_u_long)
#define xdr_u_short (multitone_tirpc()->xdr_u_short)
#define xdr_void (multitone_tirpc()->xdr_void)

#endif
