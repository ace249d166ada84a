#ifndef GSADMIN_STORAGE_LIBPQ_API_H_
#define GSADMIN_STORAGE_LIBPQ_API_H_

#include <libpq-fe.h>

#include <optional>
#include <string>

namespace gsadmin {

// The library of PostgreSQL's client, found at run time: only a database
// on a PostgreSQL server needs it, and linking it would load it (and the
// Kerberos, LDAP and TLS libraries it brings) into every run. libpq-fe.h
// gives the types and constants; the functions are called through these
// pointers, each named as libpq's function without "PQ" and of its type.
struct LibPq {
  decltype(&::PQcancel) cancel = nullptr;
  decltype(&::PQclear) clear = nullptr;
  decltype(&::PQcmdStatus) cmdStatus = nullptr;
  decltype(&::PQcmdTuples) cmdTuples = nullptr;
  decltype(&::PQconnectPoll) connectPoll = nullptr;
  decltype(&::PQconnectStartParams) connectStartParams = nullptr;
  decltype(&::PQconninfoFree) conninfoFree = nullptr;
  decltype(&::PQconninfoParse) conninfoParse = nullptr;
  decltype(&::PQconsumeInput) consumeInput = nullptr;
  decltype(&::PQerrorMessage) errorMessage = nullptr;
  decltype(&::PQescapeIdentifier) escapeIdentifier = nullptr;
  decltype(&::PQfinish) finish = nullptr;
  decltype(&::PQflush) flush = nullptr;
  decltype(&::PQfname) fname = nullptr;
  decltype(&::PQfreeCancel) freeCancel = nullptr;
  decltype(&::PQfreemem) freemem = nullptr;
  decltype(&::PQftype) ftype = nullptr;
  decltype(&::PQgetCancel) getCancel = nullptr;
  decltype(&::PQgetCopyData) getCopyData = nullptr;
  decltype(&::PQgetResult) getResult = nullptr;
  decltype(&::PQgetisnull) getisnull = nullptr;
  decltype(&::PQgetlength) getlength = nullptr;
  decltype(&::PQgetvalue) getvalue = nullptr;
  decltype(&::PQisBusy) isBusy = nullptr;
  decltype(&::PQnfields) nfields = nullptr;
  decltype(&::PQnotifies) notifies = nullptr;
  decltype(&::PQntuples) ntuples = nullptr;
  decltype(&::PQputCopyEnd) putCopyEnd = nullptr;
  decltype(&::PQresultErrorField) resultErrorField = nullptr;
  decltype(&::PQresultErrorMessage) resultErrorMessage = nullptr;
  decltype(&::PQresultStatus) resultStatus = nullptr;
  decltype(&::PQsendQuery) sendQuery = nullptr;
  decltype(&::PQsendQueryParams) sendQueryParams = nullptr;
  decltype(&::PQsetNoticeProcessor) setNoticeProcessor = nullptr;
  decltype(&::PQsetSingleRowMode) setSingleRowMode = nullptr;
  decltype(&::PQsetnonblocking) setnonblocking = nullptr;
  decltype(&::PQsocket) socket = nullptr;
  decltype(&::PQstatus) status = nullptr;
  decltype(&::PQtransactionStatus) transactionStatus = nullptr;
  decltype(&::PQunescapeBytea) unescapeBytea = nullptr;
};

// The soname loaded: the interface of libpq 10 and later.
inline constexpr const char* kLibPqSoname = "libpq.so.5";

// Loads libpq from `soname` (every call loads again: libPq() is the one
// the client uses): its functions, or nothing with the one-line reason in
// *error ("cannot load ...: ..." or "... lacks PQ...").
std::optional<LibPq> loadLibPq(const std::string& soname, std::string* error);

// libpq from kLibPqSoname, loaded by the first call from any thread; the
// same pointer on every call, or null, every time, when it could not be
// loaded. The functions stay valid until the process ends.
const LibPq* libPq();
// Why libPq() gives null (empty when it does not), one line.
const std::string& libPqError();

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_LIBPQ_API_H_
