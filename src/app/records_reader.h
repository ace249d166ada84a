#ifndef GSADMIN_APP_RECORDS_READER_H_
#define GSADMIN_APP_RECORDS_READER_H_

#include <cstdio>
#include <memory>
#include <string>

#include "app/options.h"
#include "storage/database.h"

namespace gsadmin {

// A connection that can only read to the records the client of `options`
// would keep: --db (a file or a PostgreSQL URI, with --db-password-file),
// else script.db beside the first script. None, with one line on `err`
// naming `option`, when it cannot be opened or reached.
std::unique_ptr<Database> openRecordsReader(const Options& options, const char* option,
                                            std::FILE* err);

}  // namespace gsadmin

#endif  // GSADMIN_APP_RECORDS_READER_H_
