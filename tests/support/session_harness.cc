#include "support/session_harness.h"

#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "session/current_session.h"

namespace gsadmin::testing {

SessionHarness::SessionHarness(const std::optional<std::string>& script,
                               const std::string& adminName, const std::string& adminPassword) {
  if (script) dir_.write("script.lua", *script);
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof(cwd)) != nullptr) previousDir_ = cwd;
  if (chdir(dir_.path().c_str()) != 0) std::abort();

  capture_ = std::make_unique<StdoutCapture>();
  SessionSettings settings;
  settings.serverIP = std::string("127.0.0.1");
  settings.serverPort = peer_.port();
  settings.adminName = adminName;
  settings.adminPassword = adminPassword;
  session_ = std::make_unique<AdminSession>(settings, clock_);
  setCurrentSession(session_.get());
  started_ = session_->start();

  // Let the peer send before the client has said anything.
  if (started_ && session_->socket() != nullptr) {
    sockaddr_in client{};
    socklen_t size = sizeof(client);
    getsockname(session_->socket()->descriptor(), reinterpret_cast<sockaddr*>(&client), &size);
    peer_.setClient(client);
  }
}

SessionHarness::~SessionHarness() {
  setCurrentSession(nullptr);
  session_.reset();
  capture_.reset();
  if (!previousDir_.empty() && chdir(previousDir_.c_str()) != 0) std::abort();
}

void SessionHarness::deliver(const Datagram& datagram) {
  peer_.send(datagram);
  session_->poll();
}

void SessionHarness::deliver(const std::vector<Datagram>& datagrams) {
  for (const Datagram& datagram : datagrams) peer_.send(datagram);
  session_->poll();
}

void SessionHarness::login() {
  clock_.advance(1);
  session_->poll();
  peer_.receive(1000);
}

void SessionHarness::connect(const ServerRecord& record, const std::vector<ListedPlayer>& players) {
  login();
  deliver(connectionAccepted(record, players));
}

void SessionHarness::addPlayer(uint8_t id, const std::string& name) {
  deliver(playerJoined(id, name));
  deliver(playerDetails(id, "details"));
}

}  // namespace gsadmin::testing
