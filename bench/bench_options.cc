#include "bench_options.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace gsadmin::bench {
namespace {

// The flags that choose one part of the bench.
struct PartFlag {
  const char* name;
  bool Options::*field;
};

constexpr PartFlag kPartFlags[] = {
    {"--limits-only", &Options::limitsOnly},
    {"--micro-only", &Options::microOnly},
    {"--storage-only", &Options::storageOnly},
    {"--ban-check-only", &Options::banCheckOnly},
    {"--idle-only", &Options::idleOnly},
    {"--moderation-only", &Options::moderationOnly},
    {"--rules-only", &Options::rulesOnly},
    {"--audit-only", &Options::auditOnly},
    {"--login-only", &Options::loginOnly},
    {"--requests-only", &Options::requestsOnly},
    {"--fleet-only", &Options::fleetOnly},
    {"--panel-only", &Options::panelOnly},
    {"--public-only", &Options::publicOnly},
    {"--page-only", &Options::pageOnly},
    {"--reports-only", &Options::reportsOnly},
    {"--throughput-only", &Options::throughputOnly},
    {"--flood-only", &Options::floodOnly},
    {"--handler-path-only", &Options::handlerPathOnly},
    {"--unattended-only", &Options::unattendedOnly},
    {"--reconnect-only", &Options::reconnectOnly},
    {"--outage-only", &Options::outageOnly},
    {"--record-bytes-only", &Options::recordBytesOnly},
    {"--json-log-only", &Options::jsonLogOnly},
};

// A number flag `arg` of `prefix`, at least `least`; false (said) otherwise.
bool readNumber(const std::string& arg, const std::string& prefix, int least, int* value) {
  *value = std::atoi(arg.c_str() + prefix.size());
  if (*value >= least) return true;
  std::fprintf(stderr, "gsadmin_bench: %s needs a number of at least %d\n",
               prefix.substr(0, prefix.size() - 1).c_str(), least);
  return false;
}

bool readPartFlag(const std::string& arg, Options& options) {
  for (const PartFlag& flag : kPartFlags) {
    if (arg != flag.name) continue;
    options.*flag.field = true;
    return true;
  }
  return false;
}

}  // namespace

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool good = true;
    if (arg.rfind("--idle-seconds=", 0) == 0) {
      good = readNumber(arg, "--idle-seconds=", 1, &options.idleSeconds);
    } else if (arg.rfind("--soak-seconds=", 0) == 0) {
      good = readNumber(arg, "--soak-seconds=", 0, &options.soakSeconds);
    } else if (arg.rfind("--outage-seconds=", 0) == 0) {
      good = readNumber(arg, "--outage-seconds=", 0, &options.outageSeconds);
    } else if (arg.rfind("--outages=", 0) == 0) {
      options.outages = arg.substr(10);
    } else if (readPartFlag(arg, options)) {
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
      good = false;
    }
    if (!good) return std::nullopt;
  }
  // The in-process measurements change the working directory.
  options.resultsPath = std::filesystem::absolute(options.resultsPath).string();
  return options;
}

}  // namespace gsadmin::bench
