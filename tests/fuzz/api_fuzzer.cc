// Calls the script API's functions with arbitrary argument values.
//
// Input: a sequence of calls. Each call is a function byte (which of the API's
// functions, in registration order), an argument-count byte (0 to 4), then per argument
// a type byte and its value: nil, a boolean, a double from 8 raw bytes (NaN,
// infinities and huge values included), a small integer, a string of up to
// 255 bytes (numeric or not), or a table. Every call must return normally,
// never raise a Lua error, and leave the stack as it found it. One session
// serves kRunsPerSession inputs.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_setup.h"
#include "platform/clock.h"
#include "protocol/dispatch.h"
#include "script/api.h"
#include "script/lua.h"
#include "session/admin_session.h"
#include "sim/server_messages.h"
#include "support/manual_clock.h"

namespace {

namespace msg = gsadmin::testing;

void deliver(gsadmin::AdminSession& session, const msg::Datagram& datagram) {
  gsadmin::dispatchMessage(session, datagram[0], datagram.data() + 1, datagram.size() - 1);
}

// A model with players, a roster and weapons for the queries to find.
void populate(gsadmin::AdminSession& session) {
  msg::ServerRecord record;
  deliver(session, msg::connectionAccepted(record, {{1, "Ann"}, {2, "Bo"}, {255, "Max"}}));
  for (uint8_t id : {1, 2, 255}) deliver(session, msg::playerDetails(id, "details"));
  deliver(session, msg::positionUpdate(1, 5, 75.5f, 1.5f, 2.5f, 3.5f));
  deliver(session, msg::positionUpdate(2, 105, 0));
  deliver(session, msg::positionUpdate(255, 0, 12.25f, -5, -6, -7));
}

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  void bytes(void* out, size_t count) {
    std::memset(out, 0, count);
    size_t available = size_ - at_ < count ? size_ - at_ : count;
    std::memcpy(out, data_ + at_, available);
    at_ += available;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

void pushArgument(lua_State* L, Input& input) {
  switch (input.byte() % 7) {
    case 0:
      lua_pushnil(L);
      break;
    case 1:
      lua_pushboolean(L, input.byte() & 1);
      break;
    case 2: {
      double value;
      input.bytes(&value, sizeof(value));
      lua_pushnumber(L, value);
      break;
    }
    case 3:
      lua_pushinteger(L, static_cast<int8_t>(input.byte()));
      break;
    case 4: {
      char text[256];
      size_t length = input.byte();
      input.bytes(text, length);
      lua_pushlstring(L, text, length);
      break;
    }
    case 5:
      lua_pushfstring(L, "%d", static_cast<int>(static_cast<int8_t>(input.byte())) * 37);
      break;
    default:
      lua_newtable(L);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  gsadmin::fuzz::enterWorkDirectory("api");
  FILE* script = std::fopen("script.lua", "w");
  if (script == nullptr) std::abort();
  std::fclose(script);
  return 0;
}

// The session the inputs share, its script loaded and its model populated;
// made afresh, on a database of its own, every kRunsPerSession inputs.
struct Shared {
  gsadmin::ManualClock clock;
  std::unique_ptr<gsadmin::AdminSession> session;
  int runs = 0;
};

gsadmin::AdminSession& sessionForRun(Shared& shared) {
  if (shared.session && shared.runs++ < gsadmin::fuzz::kRunsPerSession) return *shared.session;
  shared.session.reset();
  gsadmin::fuzz::removeScriptDatabase();
  shared.runs = 1;
  shared.session =
      std::make_unique<gsadmin::AdminSession>(gsadmin::SessionSettings(), shared.clock);
  if (shared.session->scripts().loadScripts() == nullptr) std::abort();
  populate(*shared.session);
  return *shared.session;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Shared shared;
  gsadmin::AdminSession& session = sessionForRun(shared);
  lua_State* L = session.scripts().all()[0]->state.get();

  Input input(data, size);
  while (!input.empty()) {
    const char* name = gsadmin::apiFunctionName(input.byte() % gsadmin::apiFunctionCount());
    int argumentCount = input.byte() % 5;
    lua_getfield(L, LUA_GLOBALSINDEX, name);
    for (int i = 0; i < argumentCount; ++i) pushArgument(L, input);
    if (lua_pcall(L, argumentCount, LUA_MULTRET, 0) != 0) {
      std::fprintf(stderr, "%s raised a Lua error: %s\n", name, lua_tostring(L, -1));
      std::abort();
    }
    lua_settop(L, 0);
  }
  session.events().fireEvent(gsadmin::Event::kStart);
  return 0;
}
