#ifndef GSADMIN_TESTS_FUZZ_FUZZ_SETUP_H_
#define GSADMIN_TESTS_FUZZ_FUZZ_SETUP_H_

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace gsadmin::fuzz {

// Inputs one session (its database, its scripts) serves before it is made
// afresh. Making one costs more than most inputs; making one now and then
// bounds what inputs leave behind (rows, handlers, timers).
inline constexpr int kRunsPerSession = 1000;

// Makes a fuzzer's working directory and enters it: in memory (/dev/shm)
// where there is one, since the databases the inputs write would otherwise
// wait on the disk for most of each run. Temporary directories the tests'
// helpers make go there too. Removed when the process exits.
inline void enterWorkDirectory(const char* name) {
  static std::string path;
  std::error_code error;
  std::string parent = std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : "/tmp";
  path = parent + "/gsadmin-fuzz-" + name + "-XXXXXX";
  if (mkdtemp(path.data()) == nullptr || chdir(path.c_str()) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
  setenv("TMPDIR", path.c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  });
}

// Removes the scripts' database in the working directory, with its journals.
inline void removeScriptDatabase() {
  for (const char* name : {"script.db", "script.db-wal", "script.db-shm", "script.db-journal"}) {
    unlink(name);
  }
}

}  // namespace gsadmin::fuzz

#endif  // GSADMIN_TESTS_FUZZ_FUZZ_SETUP_H_
