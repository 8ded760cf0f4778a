// The PostgreSQL client library, loaded the first time a station opens a
// PostgreSQL store: libpq and the dozen libraries it needs (TLS, Kerberos,
// LDAP) would otherwise be mapped into every run, check and report, and
// double what a run on a SQLite station occupies.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>

namespace records {

#define FFSLOAD_LIBPQ_FUNCTIONS(X)                                                              \
  X(PQclear)                                                                                    \
  X(PQconnectdbParams) X(PQconninfoFree) X(PQconninfoParse) X(PQdb) X(PQerrorMessage) X(PQexec) \
      X(PQexecParams) X(PQfinish) X(PQfreemem) X(PQgetisnull) X(PQgetlength) X(PQgetvalue)      \
          X(PQhost) X(PQnfields) X(PQntuples) X(PQport) X(PQresultErrorField) X(PQresultStatus) \
              X(PQstatus) X(PQsendQueryParams) X(PQsetSingleRowMode) X(PQgetResult)            \
                  X(PQconsumeInput) X(PQnotifies)

// The functions the stores call, with libpq's own types.
struct LibPq {
#define FFSLOAD_LIBPQ_POINTER(name) decltype(&::name) name = nullptr;
  FFSLOAD_LIBPQ_FUNCTIONS(FFSLOAD_LIBPQ_POINTER)
#undef FFSLOAD_LIBPQ_POINTER
};

// Loads libpq on first use. Throws StoreError when it is not installed or
// lacks a function, saying which package brings it.
const LibPq& libpq();

// A result that is cleared on every road out.
struct ResultDeleter {
  void operator()(PGresult* r) const { libpq().PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// The server's message without the line end it comes with.
std::string trimmed(std::string text);

// "?" placeholders as the server numbers them ("$1", "$2", ...); our SQL has
// no "?" outside placeholders.
std::string numbered(const std::string& sql);

}  // namespace records
