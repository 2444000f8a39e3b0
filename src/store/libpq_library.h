#pragma once
// libpq, the PostgreSQL client library, loaded when the first PostgreSQL
// store is opened instead of when the program starts: it brings Kerberos,
// LDAP, SASL and a TLS library with it, which a run that stores nothing (or
// stores in SQLite) has no use for. Only the functions the store calls, each
// under its own name.
#include <libpq-fe.h>

namespace multitone {

struct LibpqFunctions {
  decltype(&::PQclear) PQclear;
  decltype(&::PQconnectdbParams) PQconnectdbParams;
  decltype(&::PQconsumeInput) PQconsumeInput;
  decltype(&::PQerrorMessage) PQerrorMessage;
  decltype(&::PQfinish) PQfinish;
  decltype(&::PQflush) PQflush;
  decltype(&::PQgetResult) PQgetResult;
  decltype(&::PQgetisnull) PQgetisnull;
  decltype(&::PQgetlength) PQgetlength;
  decltype(&::PQgetvalue) PQgetvalue;
  decltype(&::PQisBusy) PQisBusy;
  decltype(&::PQntuples) PQntuples;
  decltype(&::PQresultErrorMessage) PQresultErrorMessage;
  decltype(&::PQresultStatus) PQresultStatus;
  decltype(&::PQsendQuery) PQsendQuery;
  decltype(&::PQsendQueryParams) PQsendQueryParams;
  decltype(&::PQsetNoticeProcessor) PQsetNoticeProcessor;
  decltype(&::PQsocket) PQsocket;
  decltype(&::PQstatus) PQstatus;
};

// libpq.so.5's functions, loaded on the first call. Throws StoreError, naming
// Debian's libpq5 package, when the library or one of them is missing.
const LibpqFunctions& Libpq();

}  // namespace multitone
