#include "app/records_reader.h"

#include "app/backup_command.h"
#include "app/password_file.h"

namespace gsadmin {
namespace {

// How long the records' server may take to answer a one-shot command.
constexpr uint64_t kReaderWaitMs = 10000;

}  // namespace

std::unique_ptr<Database> openRecordsReader(const Options& options, const char* option,
                                            std::FILE* err) {
  std::optional<std::string> password;
  if (options.databasePasswordFile) {
    std::string error;
    password = readPasswordFile(*options.databasePasswordFile, &error);
    if (!password) {
      std::fprintf(err, "gsadmin: --db-password-file: %s\n", error.c_str());
      return nullptr;
    }
  }
  std::string location = options.databasePath ? *options.databasePath : *sqliteFileOf(options);
  std::unique_ptr<Database> database = makeDatabase(location, password);
  std::unique_ptr<Database> reader = database->readOnlyConnection(kReaderWaitMs);
  if (!reader || !reader->awaitConnection(kReaderWaitMs)) {
    std::fprintf(err, "gsadmin: %s: %s cannot be reached\n", option, location.c_str());
    return nullptr;
  }
  return reader;
}

}  // namespace gsadmin
