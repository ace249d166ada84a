#ifndef GSADMIN_PROTOCOL_INBOUND_TEST_SCRIPT_H_
#define GSADMIN_PROTOCOL_INBOUND_TEST_SCRIPT_H_

#include <string>

#include "support/session_harness.h"

namespace gsadmin::testing {

// A script that prints every event it receives as "<event> <arg> <arg>...",
// so a test reads the console lines and the events in the order they came.
inline const char kEventEchoScript[] = R"lua(
local events = {'onConnect', 'onDisconnect', 'onPlayerJoin', 'onPlayerQuit',
  'onPlayerPositionChange', 'onPlayerHealthChange', 'onVehicleHealthChange',
  'onPlayerVehicleEnter', 'onPlayerVehicleExit', 'onAdminChat', 'onAdminMessage',
  'onPlayerChat', 'onPlayerMessage'}
for _, name in ipairs(events) do
  _G['echo_' .. name] = function(...)
    local t = {name}
    for i = 1, select('#', ...) do t[#t + 1] = tostring((select(i, ...))) end
    print(table.concat(t, ' '))
  end
  addEventHandler(name, 'echo_' .. name)
end
)lua";

// A connected session running the echo script, with two players known:
// 4 "Ann" and 7 "Bo", under game code 2 / mode 1. Output so far is consumed.
class InboundFixture {
 public:
  explicit InboundFixture(const std::string& extraScript = "")
      : harness(std::string(kEventEchoScript) + extraScript) {
    harness.connect(ServerRecord(), {{4, "Ann"}, {7, "Bo"}});
    harness.deliver({playerDetails(4, "a"), playerDetails(7, "b")});
    harness.output();
    harness.sent();
  }
  std::string deliver(const Datagram& datagram) {
    harness.deliver(datagram);
    return harness.output();
  }
  Player* player(uint8_t id) { return harness.session().players().find(id); }
  Vehicle* vehicle(int32_t id) { return harness.session().vehicles().find(id); }

  SessionHarness harness;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_PROTOCOL_INBOUND_TEST_SCRIPT_H_
