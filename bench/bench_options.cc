#include "bench_options.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace gsadmin::bench {

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--idle-seconds=", 0) == 0) {
      options.idleSeconds = std::atoi(arg.c_str() + 15);
      if (options.idleSeconds < 1) {
        std::fprintf(stderr, "gsadmin_bench: --idle-seconds needs a positive number\n");
        return std::nullopt;
      }
    } else if (arg.rfind("--soak-seconds=", 0) == 0) {
      options.soakSeconds = std::atoi(arg.c_str() + 15);
      if (options.soakSeconds < 0) {
        std::fprintf(stderr, "gsadmin_bench: --soak-seconds needs a number, 0 for none\n");
        return std::nullopt;
      }
    } else if (arg == "--limits-only") {
      options.limitsOnly = true;
    } else if (arg == "--micro-only") {
      options.microOnly = true;
    } else if (arg == "--storage-only") {
      options.storageOnly = true;
    } else if (arg == "--ban-check-only") {
      options.banCheckOnly = true;
    } else if (arg == "--idle-only") {
      options.idleOnly = true;
    } else if (arg == "--moderation-only") {
      options.moderationOnly = true;
    } else if (arg == "--rules-only") {
      options.rulesOnly = true;
    } else if (arg == "--audit-only") {
      options.auditOnly = true;
    } else if (arg == "--requests-only") {
      options.requestsOnly = true;
    } else if (arg == "--fleet-only") {
      options.fleetOnly = true;
    } else if (arg == "--panel-only") {
      options.panelOnly = true;
    } else if (arg == "--throughput-only") {
      options.throughputOnly = true;
    } else if (arg == "--flood-only") {
      options.floodOnly = true;
    } else if (arg == "--handler-path-only") {
      options.handlerPathOnly = true;
    } else if (arg.rfind("--handler-feed=", 0) == 0) {
      options.handlerFeed = arg.substr(15);
    } else if (arg.rfind("--ban-check-figures=", 0) == 0) {
      options.banCheckFigures = arg.substr(20);
    } else if (arg.rfind("--before=", 0) == 0) {
      options.beforeBinary = arg.substr(9);
    } else if (arg.rfind("--results=", 0) == 0) {
      options.resultsPath = arg.substr(10);
    } else {
      std::fprintf(stderr, "gsadmin_bench: unknown flag %s\n", arg.c_str());
      return std::nullopt;
    }
  }
  // The in-process measurements change the working directory.
  options.resultsPath = std::filesystem::absolute(options.resultsPath).string();
  return options;
}

}  // namespace gsadmin::bench
