#include "support/postgres_server.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/child_setup.h"

namespace gsadmin::testing {
namespace {

constexpr const char* kUser = "gsadmin";
constexpr const char* kPort = "5432";  // only the socket's name: no TCP
constexpr const char* kUnprivileged = "nobody";

std::string dataDirectory(const std::string& dir) {
  return dir + "/data";
}

}  // namespace

std::optional<std::string> PostgresServer::binaries() {
  std::error_code error;
  std::optional<std::string> newest;
  int newestVersion = -1;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
    std::string bin = entry.path().string() + "/bin";
    int version = std::atoi(entry.path().filename().c_str());
    if (version > newestVersion && access((bin + "/initdb").c_str(), X_OK) == 0 &&
        access((bin + "/pg_ctl").c_str(), X_OK) == 0) {
      newest = bin;
      newestVersion = version;
    }
  }
  return newest;
}

PostgresServer::PostgresServer() {
  std::optional<std::string> found = binaries();
  if (!found) {
    failure_ = kMissing;
    return;
  }
  binaries_ = *found;
  const std::string& dir = dir_.path();
  if (geteuid() == 0) {
    passwd* user = getpwnam(kUnprivileged);
    if (user == nullptr || chown(dir.c_str(), user->pw_uid, user->pw_gid) != 0) {
      failure_ = "cannot give " + dir + " to " + kUnprivileged;
      return;
    }
  }
  if (!runTool("initdb", {"-D", dataDirectory(dir), "-U", kUser, "--auth=trust", "--no-sync",
                          "--no-locale", "-E", "UTF8"})) {
    failure_ = "initdb failed; see " + dir + "/server.log";
    return;
  }
  std::ofstream conf(dataDirectory(dir) + "/postgresql.conf", std::ios::app);
  conf << "listen_addresses = ''\n"
       << "unix_socket_directories = '" << dir << "'\n"
       << "port = " << kPort
       << "\n"
       // What a commit wrote stays in the kernel's cache across a stop -m
       // immediate: fast, and nothing committed is lost.
       << "fsync = off\nfull_page_writes = off\n"
       << "max_connections = 30\nshared_buffers = 16MB\n";
  conf.close();
  if (!start()) failure_ = "the server did not start; see " + dir + "/server.log";
}

PostgresServer::~PostgresServer() {
  if (!running_) return;
  // One left frozen (signalAll(SIGSTOP)) could not stop.
  signalAll(SIGCONT);
  if (stop()) return;
  // pg_ctl failed: the server's own process is ended by its id.
  std::ifstream pidFile(dataDirectory(dir_.path()) + "/postmaster.pid");
  pid_t pid = 0;
  if (pidFile >> pid && pid > 0) kill(pid, SIGQUIT);
}

std::string PostgresServer::uri(const std::string& database) const {
  return "postgresql:///" + database + "?host=" + dir_.path() + "&port=" + kPort + "&user=" + kUser;
}

std::string PostgresServer::createDatabase(const std::string& name) {
  PGconn* connection = PQconnectdb(uri("postgres").c_str());
  std::string sql = "CREATE DATABASE \"" + name + "\"";
  PGresult* result = PQexec(connection, sql.c_str());
  bool created = PQresultStatus(result) == PGRES_COMMAND_OK;
  if (!created) failure_ = PQerrorMessage(connection);
  PQclear(result);
  PQfinish(connection);
  return created ? uri(name) : std::string();
}

bool PostgresServer::stop() {
  if (!running_) return true;
  running_ =
      !runTool("pg_ctl", {"-D", dataDirectory(dir_.path()), "-m", "immediate", "-w", "stop"});
  return !running_;
}

bool PostgresServer::stopGracefully() {
  if (!running_) return true;
  running_ = !runTool("pg_ctl", {"-D", dataDirectory(dir_.path()), "-m", "fast", "-w", "stop"});
  return !running_;
}

bool PostgresServer::signalAll(int signal) {
  std::ifstream pidFile(dataDirectory(dir_.path()) + "/postmaster.pid");
  pid_t postmaster = 0;
  if (!running_ || !(pidFile >> postmaster) || postmaster <= 0) return false;
  // The postmaster first: stopped, it starts no child the walk would miss.
  // Its children are those whose parent (/proc/PID/stat, field 4) it is.
  if (kill(postmaster, signal) != 0) return false;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    pid_t pid = std::atoi(entry.path().filename().c_str());
    if (pid <= 0) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
        parent == postmaster) {
      kill(pid, signal);
    }
  }
  return true;
}

bool PostgresServer::start() {
  if (running_) return true;
  running_ = runTool("pg_ctl", {"-D", dataDirectory(dir_.path()), "-l", dir_.path() + "/server.log",
                                "-w", "-t", "60", "start"});
  return running_;
}

bool PostgresServer::runTool(const std::string& tool, const std::vector<std::string>& args) {
  const std::string& dir = dir_.path();
  std::string program = binaries_ + "/" + tool;
  std::string log = dir + "/tools.log";
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    useTemporaryHome(dir);
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (geteuid() != 0) runProgram(program, args);
    // The server refuses to run as root.
    std::vector<std::string> wrapped = {"--reuid=" + std::string(kUnprivileged), "--regid=nogroup",
                                        "--clear-groups", "--", program};
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    runProgram("/usr/bin/setpriv", wrapped);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void SuiteServer::start() {
  if (PostgresServer::binaries()) server_ = std::make_unique<PostgresServer>();
}

std::string SuiteServer::newDatabase(const std::string& prefix) {
  if (server_ == nullptr || !server_->start()) return std::string();
  return server_->createDatabase(prefix + std::to_string(++databases_));
}

}  // namespace gsadmin::testing
