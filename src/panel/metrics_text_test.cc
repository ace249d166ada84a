#include "panel/metrics_text.h"

#include <gtest/gtest.h>

#include "panel/metrics_labels.h"

namespace gsadmin {
namespace {

bool hasLine(const std::string& text, const std::string& line) {
  return text.find("\n" + line + "\n") != std::string::npos || text.starts_with(line + "\n");
}

// A snapshot with something in every family.
Snapshot fullSnapshot(const std::array<const char*, 256>& names) {
  Snapshot snapshot;
  snapshot.takenMs = 5000;
  snapshot.uptimeMs = 61000;
  snapshot.server.connected = true;
  snapshot.players.resize(3);
  snapshot.lastDatagramMs = 2000;
  snapshot.counters.datagramsByType[10] = 7;
  snapshot.counters.datagramsByType[200] = 2;
  snapshot.counters.datagramsByType[201] = 3;
  snapshot.datagramNames = &names;
  snapshot.counters.eventsFired[0] = 1;
  snapshot.counters.scriptErrors = {{"bad \"one\"\\\n", 2}, {"good", 0}};
  snapshot.counters.acts = {{"ban reason", "panel", 3}, {"kick", "game", 1}};
  snapshot.database = DatabaseView{true, 12};
  snapshot.version = "1.2.3";
  snapshot.serverName = "east";
  snapshot.counters.countHandler(40);
  snapshot.counters.countHandler(2000);
  snapshot.timers = 4;
  return snapshot;
}

TEST(MetricsTextTest, EveryFamilyInPrometheusTextFormat) {
  std::array<const char*, 256> names{};
  names[10] = "position_update";
  std::string text = metricsText(fullSnapshot(names), 9500, 8192);
  for (const char* line : {
           "# TYPE gsadmin_players_online gauge",
           "gsadmin_players_online 3",
           "gsadmin_connected 1",
           "gsadmin_build_info{version=\"1.2.3\",server=\"east\"} 1",
           "gsadmin_last_datagram_age_seconds 7.500",
           "gsadmin_datagrams_received_total{type=\"position_update\"} 7",
           "gsadmin_datagrams_received_total{type=\"unknown\"} 5",
           "gsadmin_events_total{event=\"onStart\"} 1",
           "gsadmin_events_total{event=\"onPlayerChat\"} 0",
           "gsadmin_script_errors_total{script=\"bad \\\"one\\\"\\\\\\n\"} 2",
           "gsadmin_script_errors_total{script=\"good\"} 0",
           "gsadmin_moderation_acts_total{kind=\"ban reason\",door=\"panel\"} 3",
           "gsadmin_moderation_acts_total{kind=\"kick\",door=\"game\"} 1",
           "gsadmin_database_connected 1",
           "gsadmin_database_queued_records 12",
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
  EXPECT_EQ(text.find("type=\"death\""), std::string::npos) << "types never seen are left out";
  EXPECT_EQ(text.back(), '\n');

  // Before the first datagram, and without a database file, no sample.
  Snapshot empty;
  std::string quiet = metricsText(empty, 0, std::nullopt);
  EXPECT_EQ(quiet.find("\ngsadmin_last_datagram_age_seconds "), std::string::npos);
  EXPECT_EQ(quiet.find("\ngsadmin_database_bytes "), std::string::npos);
  EXPECT_EQ(quiet.find("\ngsadmin_database_connected "), std::string::npos);
  EXPECT_EQ(quiet.find("\ngsadmin_database_queued_records "), std::string::npos);
  EXPECT_TRUE(hasLine(quiet, "gsadmin_build_info{version=\"\",server=\"\"} 1"));
}

TEST(MetricsTextTest, LabelValuesAreEscapedAndBounded) {
  EXPECT_EQ(labelValue("plain"), "plain");
  EXPECT_EQ(labelValue("a\"b\\c\nd\te"), "a\\\"b\\\\c\\nd?e");
  EXPECT_EQ(labelValue(std::string(300, 'x')), std::string(kMaxLabelBytes, 'x'));
  // Cut before a character that would not fit whole: "é" is two bytes.
  std::string accented = std::string(kMaxLabelBytes - 1, 'x') + "\xC3\xA9";
  EXPECT_EQ(labelValue(accented), std::string(kMaxLabelBytes - 1, 'x'));
  // Names that the cut makes alike are counted as one.
  Snapshot snapshot;
  std::string longName(200, 's');
  snapshot.counters.scriptErrors = {{longName + "1", 1}, {longName + "2", 2}};
  std::string text = metricsText(snapshot, 0, std::nullopt);
  EXPECT_TRUE(hasLine(
      text, "gsadmin_script_errors_total{script=\"" + std::string(kMaxLabelBytes, 's') + "\"} 3"))
      << text;
}

}  // namespace
}  // namespace gsadmin
