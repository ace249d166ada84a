#ifndef GSADMIN_TESTS_SUPPORT_POSTGRES_SERVER_H_
#define GSADMIN_TESTS_SUPPORT_POSTGRES_SERVER_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/client_process.h"

namespace gsadmin::testing {

// A real PostgreSQL server of the test's own, made from the installed
// server binaries (Debian's postgresql package, /usr/lib/postgresql/N/bin):
// a new cluster in a temporary directory, listening on a Unix socket in that
// directory only, with fsync off (what a commit wrote survives stop(), not
// a crash of the machine). Run as root, the server runs as nobody,
// as the server refuses root. Clients connect as the superuser "gsadmin"
// without a password. The destructor stops the server at once and removes
// the directory.
class PostgresServer {
 public:
  // The directory of the newest installed initdb and pg_ctl, or nothing.
  static std::optional<std::string> binaries();
  // What a test says when it skips for want of the binaries.
  static constexpr const char* kMissing =
      "PostgreSQL's server binaries are not installed (Debian: postgresql; "
      "GSADMIN_WITH_TESTS=1 scripts/install-deps installs them)";

  // Makes the cluster and starts the server; running() says whether it
  // does, failure() why not.
  PostgresServer();
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  bool running() const { return running_; }
  const std::string& failure() const { return failure_; }
  const std::string& directory() const { return dir_.path(); }

  // A connection URI for `database` on this server.
  std::string uri(const std::string& database) const;
  // Creates the empty database `name` (a plain name); its URI, or empty
  // with failure() set.
  std::string createDatabase(const std::string& name);

  // Stops the server at once, as a crash would (every connection drops);
  // start() starts it again on the same data and socket. stopGracefully()
  // is pg_ctl's default stop (fast): sessions are ended, and the server
  // writes a checkpoint first.
  bool stop();
  bool stopGracefully();
  bool start();
  // Sends `signal` to every process of the server (the postmaster and its
  // children), as kill -STOP then kill -CONT freeze and thaw it; false
  // when the server's processes cannot be found.
  bool signalAll(int signal);

  // Runs a program of the server's installation (initdb, pg_dump,
  // pg_restore...) as the server's user in its directory, its output to
  // the log; true when it exited 0.
  bool runTool(const std::string& tool, const std::vector<std::string>& args);

 private:
  TempDir dir_;
  std::string binaries_;
  bool running_ = false;
  std::string failure_;
};

// One server shared by the tests of a suite (starting one takes seconds):
// a static member of the suite, started by its SetUpTestSuite() and ended
// by its TearDownTestSuite().
class SuiteServer {
 public:
  // Starts the server unless its binaries are missing.
  void start();
  void end() { server_.reset(); }
  // Whether the binaries were there to start one: a test skips otherwise.
  bool available() const { return server_ != nullptr; }
  // For a test's SetUp(): the server running again (a test before may have
  // stopped it) and the URI of a new database named `prefix` and a number;
  // empty, with failure() saying why, when that failed.
  std::string newDatabase(const std::string& prefix);
  PostgresServer& server() { return *server_; }
  std::string failure() const { return server_ ? server_->failure() : PostgresServer::kMissing; }

 private:
  std::unique_ptr<PostgresServer> server_;
  int databases_ = 0;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_POSTGRES_SERVER_H_
