#include "storage/libpq_api.h"

#include <mutex>

#include "platform/shared_library.h"

namespace gsadmin {
namespace {

bool findAll(const SharedLibrary& library, LibPq* pq, std::string* error) {
  return library.find("PQcancel", &pq->cancel, error) &&
         library.find("PQclear", &pq->clear, error) &&
         library.find("PQcmdStatus", &pq->cmdStatus, error) &&
         library.find("PQcmdTuples", &pq->cmdTuples, error) &&
         library.find("PQconnectPoll", &pq->connectPoll, error) &&
         library.find("PQconnectStartParams", &pq->connectStartParams, error) &&
         library.find("PQconninfoFree", &pq->conninfoFree, error) &&
         library.find("PQconninfoParse", &pq->conninfoParse, error) &&
         library.find("PQconsumeInput", &pq->consumeInput, error) &&
         library.find("PQerrorMessage", &pq->errorMessage, error) &&
         library.find("PQescapeIdentifier", &pq->escapeIdentifier, error) &&
         library.find("PQfinish", &pq->finish, error) &&
         library.find("PQflush", &pq->flush, error) && library.find("PQfname", &pq->fname, error) &&
         library.find("PQfreeCancel", &pq->freeCancel, error) &&
         library.find("PQfreemem", &pq->freemem, error) &&
         library.find("PQftype", &pq->ftype, error) &&
         library.find("PQgetCancel", &pq->getCancel, error) &&
         library.find("PQgetCopyData", &pq->getCopyData, error) &&
         library.find("PQgetResult", &pq->getResult, error) &&
         library.find("PQgetisnull", &pq->getisnull, error) &&
         library.find("PQgetlength", &pq->getlength, error) &&
         library.find("PQgetvalue", &pq->getvalue, error) &&
         library.find("PQisBusy", &pq->isBusy, error) &&
         library.find("PQnfields", &pq->nfields, error) &&
         library.find("PQnotifies", &pq->notifies, error) &&
         library.find("PQntuples", &pq->ntuples, error) &&
         library.find("PQputCopyEnd", &pq->putCopyEnd, error) &&
         library.find("PQresultErrorField", &pq->resultErrorField, error) &&
         library.find("PQresultErrorMessage", &pq->resultErrorMessage, error) &&
         library.find("PQresultStatus", &pq->resultStatus, error) &&
         library.find("PQsendQuery", &pq->sendQuery, error) &&
         library.find("PQsendQueryParams", &pq->sendQueryParams, error) &&
         library.find("PQsetNoticeProcessor", &pq->setNoticeProcessor, error) &&
         library.find("PQsetSingleRowMode", &pq->setSingleRowMode, error) &&
         library.find("PQsetnonblocking", &pq->setnonblocking, error) &&
         library.find("PQsocket", &pq->socket, error) &&
         library.find("PQstatus", &pq->status, error) &&
         library.find("PQtransactionStatus", &pq->transactionStatus, error) &&
         library.find("PQunescapeBytea", &pq->unescapeBytea, error);
}

// What the first libPq() call found, kept for the process's life.
struct Loaded {
  std::optional<LibPq> functions;
  std::string error;
};

const Loaded& loaded() {
  static std::once_flag once;
  static Loaded result;
  std::call_once(once, [] { result.functions = loadLibPq(kLibPqSoname, &result.error); });
  return result;
}

}  // namespace

std::optional<LibPq> loadLibPq(const std::string& soname, std::string* error) {
  std::optional<SharedLibrary> library = SharedLibrary::open(soname, error);
  if (!library) return std::nullopt;
  LibPq pq;
  if (!findAll(*library, &pq, error)) return std::nullopt;
  return pq;
}

const LibPq* libPq() {
  const Loaded& result = loaded();
  return result.functions ? &*result.functions : nullptr;
}

const std::string& libPqError() {
  return loaded().error;
}

}  // namespace gsadmin
