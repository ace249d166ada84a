#include "panel/metrics_text.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

bool hasLine(const std::string& text, const std::string& line) {
  return text.find("\n" + line + "\n") != std::string::npos || text.starts_with(line + "\n");
}

TEST(MetricsTextTest, EveryFamilyInPrometheusTextFormat) {
  Snapshot snapshot;
  snapshot.takenMs = 5000;
  snapshot.uptimeMs = 61000;
  snapshot.server.connected = true;
  snapshot.players.resize(3);
  snapshot.lastDatagramMs = 2000;
  snapshot.counters.datagramsByType[10] = 7;
  snapshot.counters.eventsFired[0] = 1;
  snapshot.counters.scriptErrors = 2;
  snapshot.counters.countHandler(40);
  snapshot.counters.countHandler(2000);
  snapshot.timers = 4;
  std::string text = metricsText(snapshot, 9500, 8192);
  for (const char* line : {
           "# TYPE gsadmin_players_online gauge",
           "gsadmin_players_online 3",
           "gsadmin_connected 1",
           "gsadmin_last_datagram_age_seconds 7",
           "gsadmin_datagrams_received_total{type=\"10\"} 7",
           "gsadmin_events_total{event=\"onStart\"} 1",
           "gsadmin_events_total{event=\"onPlayerChat\"} 0",
           "gsadmin_script_errors_total 2",
           "# TYPE gsadmin_handler_seconds histogram",
           "gsadmin_handler_seconds_bucket{le=\"5e-05\"} 1",
           "gsadmin_handler_seconds_bucket{le=\"0.001\"} 1",
           "gsadmin_handler_seconds_bucket{le=\"0.005\"} 2",
           "gsadmin_handler_seconds_bucket{le=\"+Inf\"} 2",
           "gsadmin_handler_seconds_sum 0.002040",
           "gsadmin_handler_seconds_count 2",
           "gsadmin_timers 4",
           "gsadmin_database_bytes 8192",
           "gsadmin_uptime_seconds 61",
       }) {
    EXPECT_TRUE(hasLine(text, line)) << line << "\n" << text;
  }
  EXPECT_EQ(text.find("type=\"11\""), std::string::npos) << "types never seen are left out";
  EXPECT_EQ(text.back(), '\n');

  // Before the first datagram, and without a database file, no sample.
  Snapshot empty;
  std::string quiet = metricsText(empty, 0, std::nullopt);
  EXPECT_EQ(quiet.find("\ngsadmin_last_datagram_age_seconds "), std::string::npos);
  EXPECT_EQ(quiet.find("\ngsadmin_database_bytes "), std::string::npos);
}

}  // namespace
}  // namespace gsadmin
