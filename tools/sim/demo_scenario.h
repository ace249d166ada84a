#ifndef GSADMIN_TOOLS_SIM_DEMO_SCENARIO_H_
#define GSADMIN_TOOLS_SIM_DEMO_SCENARIO_H_

#include <string_view>

namespace gsadmin::sim {

// The built-in demo match, in the scenario file format, for game 2 mode 1:
// players join and chat, send private messages, drive and ride vehicles,
// lose health, kill each other, drown, quit and rejoin. It runs about 45
// scenario seconds and loops.
std::string_view demoScenarioText();

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_DEMO_SCENARIO_H_
