// Feeds arbitrary datagrams through a session's receive path and dispatch.
// The session logs in afresh for every input.
//
// Input: a sequence of chunks, each a 2-byte header and a datagram. Header
// bits 0-12 are the datagram's length (so datagrams over 4096 bytes occur),
// bits 13-15 move the session's clock on by that many 2-second steps before
// the datagram, which drives logins and timeouts.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/fuzz_setup.h"
#include "fuzz/probe_script.h"
#include "platform/clock.h"
#include "session/admin_session.h"
#include "support/loopback_peer.h"
#include "support/manual_clock.h"

namespace {

gsadmin::testing::LoopbackPeer* g_peer = nullptr;

// The session the inputs share, with its clock; made afresh, on a database
// of its own, every kRunsPerSession inputs.
struct Shared {
  gsadmin::ManualClock clock;
  std::unique_ptr<gsadmin::AdminSession> session;
  int runs = 0;
};

gsadmin::AdminSession& sessionForRun(Shared& shared) {
  if (shared.session && shared.runs++ < gsadmin::fuzz::kRunsPerSession) return *shared.session;
  shared.session.reset();
  g_peer->drain();
  gsadmin::fuzz::removeScriptDatabase();
  shared.runs = 1;
  gsadmin::SessionSettings settings;
  settings.serverPort = g_peer->port();
  shared.session = std::make_unique<gsadmin::AdminSession>(settings, shared.clock);
  if (!shared.session->start()) std::abort();
  sockaddr_in client{};
  socklen_t length = sizeof(client);
  getsockname(shared.session->socket()->descriptor(), reinterpret_cast<sockaddr*>(&client),
              &length);
  g_peer->setClient(client);
  return *shared.session;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The client's console lines are not what is being tested.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  gsadmin::fuzz::enterWorkDirectory("datagram");
  FILE* script = std::fopen("script.lua", "w");
  if (script == nullptr) std::abort();
  std::fputs(gsadmin::fuzz::kProbeScript, script);
  std::fclose(script);
  static gsadmin::testing::LoopbackPeer peer;
  g_peer = &peer;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Shared shared;
  gsadmin::AdminSession& session = sessionForRun(shared);
  // Every input starts with a login, as a new session's would.
  shared.clock.advance(1);
  session.sendLogin();
  size_t at = 0;
  while (at + 2 <= size) {
    unsigned header = data[at] | (data[at + 1] << 8);
    at += 2;
    size_t datagramSize = header & 0x1FFF;
    if (datagramSize > size - at) datagramSize = size - at;
    shared.clock.advance(static_cast<uint64_t>(header >> 13) * 2000);
    g_peer->send(gsadmin::testing::Datagram(data + at, data + at + datagramSize));
    at += datagramSize;
    session.poll();
    g_peer->drain();
  }
  g_peer->drain();
  return 0;
}
