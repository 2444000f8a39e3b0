#pragma once
// libpq, the PostgreSQL client library, loaded when the first PostgreSQL
// store is opened instead of when the program starts: it brings Kerberos,
// LDAP, SASL and a TLS library with it, which a run that stores nothing (or
// stores in SQLite) has no use for. Only the functions the store calls.
#include <libpq-fe.h>

namespace multitone {

struct LibpqFunctions {
  decltype(&::PQconnectdbParams) connectdb_params;
  decltype(&::PQstatus) status;
  decltype(&::PQerrorMessage) error_message;
  decltype(&::PQfinish) finish;
  decltype(&::PQsetNoticeProcessor) set_notice_processor;
  decltype(&::PQexec) exec;
  decltype(&::PQexecParams) exec_params;
  decltype(&::PQresultStatus) result_status;
  decltype(&::PQntuples) ntuples;
  decltype(&::PQgetisnull) getisnull;
  decltype(&::PQgetvalue) getvalue;
  decltype(&::PQgetlength) getlength;
  decltype(&::PQclear) clear;
};

// libpq.so.5's functions, loaded on the first call. Throws StoreError, naming
// Debian's libpq5 package, when the library or one of them is missing.
const LibpqFunctions& Libpq();

}  // namespace multitone
