#pragma once
// libpq, the PostgreSQL client library, loaded when the first PostgreSQL
// store is opened instead of when the program starts: it brings Kerberos,
// LDAP, SASL and a TLS library with it, which a run that stores nothing (or
// stores in SQLite) has no use for. Only the functions the store calls.
#include <libpq-fe.h>

#include "common/shared_library.h"

#define MULTITONE_LIBPQ_FUNCTIONS(F)                                                                       \
  F(PQclear) F(PQconnectdbParams) F(PQconsumeInput) F(PQerrorMessage) F(PQfinish) F(PQflush) F(PQgetResult) \
  F(PQgetisnull) F(PQgetlength) F(PQgetvalue) F(PQisBusy) F(PQntuples) F(PQresultErrorMessage)            \
  F(PQresultStatus) F(PQsendQuery) F(PQsendQueryParams) F(PQsetNoticeProcessor) F(PQsocket) F(PQstatus)

namespace multitone {

struct LibpqFunctions {
  MULTITONE_LIBPQ_FUNCTIONS(MULTITONE_LIBRARY_MEMBER)
};

// libpq.so.5's functions, loaded on the first call. Throws StoreError, naming
// Debian's libpq5 package, when the library or one of them is missing; a
// call that throws leaves the next to try again.
const LibpqFunctions& Libpq();

}  // namespace multitone
