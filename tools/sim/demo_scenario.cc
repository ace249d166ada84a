#include "demo_scenario.h"

namespace gsadmin::sim {

std::string_view demoScenarioText() {
  return R"(# The demo match: game 2, mode 1.
server-name gsadmin-sim demo server
motd Welcome to the demo match! Say !help for commands.
game 2
mode 1
max-players 16
online Alice
online Bob

0     chat Alice hi admin
2     join Carol
3.5   chat Carol hello everyone
5     chat Bob !stats
6     drive Alice 5 health 1000
7     ride Bob 5
8     drive Alice 5 health 960 at -800.5 -880.2 10.1
10    drive Alice 5 health 720 at -760.0 -850.7 10.3
11    walk Alice health 100 at -758.2 -849.9 10.3
11.5  walk Bob health 100 at -757.1 -848.3 10.3
12    msg Carol Alice meet me at the lighthouse
13    walk Carol health 74 at 151.2 -1520.4 10.0
14    kill Alice Carol M4
16    join Dave
17    drive Dave 11 health 1000
19    drive Dave 11 health 650 at 380.4 341.0 42.5
20    walk Dave health 55 at 381.0 342.2 12.0
21    kill Bob Dave Sniper
22    chat Dave !stats
23    drown Carol
25    quit Carol
26    chat Bob gg Carol
28    join Carol
29    chat Carol back again
30    drive Bob 2 health 1000
31.5  drive Bob 2 health 880 at 560.2 850.9 13.0
33    walk Bob health 90 at 561.0 852.0 13.0
34    kill Carol Alice Rocket Launcher
35    kill Bob Bob Grenade
36    chat Alice !stats
37    msg Dave #0 rematch?
38    quit Dave
39    chat Alice !players
40    chat Carol !help
42    quit Carol timeout
45    end
)";
}

}  // namespace gsadmin::sim
