#include "support/session_harness.h"

namespace gsadmin::testing {

SessionHarness::SessionHarness(const std::optional<std::string>& script,
                               const std::string& adminName, const std::string& adminPassword,
                               Transport transport, const SettingsTweak& tweak) {
  if (script) dir_.write("script.lua", *script);
  scriptPath_ = dir_.path() + "/script.lua";
  if (transport == Transport::kLoopback) {
    peer_ = std::make_unique<LoopbackPeer>();
    port_ = peer_->port();
  }

  SessionSettings settings;
  settings.serverIP = "127.0.0.1";
  settings.serverPort = port_;
  settings.adminName = adminName;
  settings.adminPassword = adminPassword;
  if (tweak) tweak(settings);
  SessionIo io;
  auto console = std::make_unique<RecordingConsole>();
  console_ = console.get();
  io.console = std::move(console);
  if (transport == Transport::kInMemory) io.sink = &sink_;
  io.scriptPaths = {scriptPath_};
  session_ = std::make_unique<AdminSession>(settings, clock_, std::move(io));
  started_ = session_->start();

  // Let the peer send before the client has said anything.
  if (started_ && peer_ && session_->socket() != nullptr) {
    peer_->setClient(session_->socket()->localAddress());
  }
}

SessionHarness::~SessionHarness() {
  session_.reset();
}

std::vector<Datagram> SessionHarness::sent() {
  return peer_ ? peer_->drain() : sink_.take();
}

void SessionHarness::deliver(const Datagram& datagram) {
  deliver(std::vector<Datagram>{datagram});
}

void SessionHarness::deliver(const std::vector<Datagram>& datagrams) {
  for (const Datagram& datagram : datagrams) {
    if (peer_) {
      peer_->send(datagram);
    } else {
      session_->receiveDatagram(datagram.data(), datagram.size());
    }
  }
  session_->poll();
}

void SessionHarness::login() {
  clock_.advance(1);
  session_->poll();
  if (peer_) {
    peer_->receive(1000);
  } else {
    sink_.take();
  }
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
