#include "console/json_log.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "console/log_entry.h"

namespace gsadmin {
namespace {

TEST(JsonLogTest, StringsAreValidJsonWhateverTheirBytes) {
  const struct {
    std::string bytes;
    std::string json;
  } cases[] = {
      {"plain text", "\"plain text\""},
      {"a \"quote\" and \\", "\"a \\\"quote\\\" and \\\\\""},
      {std::string("nul\0tab\tdel\x7f", 12), "\"nul\\u0000tab\\u0009del\\u007f\""},
      {"caf\xC3\xA9 \xF0\x9F\x8E\xAE", "\"caf\xC3\xA9 \xF0\x9F\x8E\xAE\""},  // UTF-8 kept
      {"caf\xE9", "\"caf\\u00e9\""},                                         // Latin-1
      {"\x80\xBF", "\"\\u0080\\u00bf\""},                                    // stray continuations
      {"\xC0\x80", "\"\\u00c0\\u0080\""},                                    // overlong NUL
      {"\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},                         // a surrogate
      {"\xF4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},              // past U+10FFFF
      {"\xE2\x82", "\"\\u00e2\\u0082\""},                                    // cut short
  };
  for (const auto& c : cases) {
    std::string out;
    appendJsonString(c.bytes, out);
    EXPECT_EQ(out, c.json) << c.bytes;
  }
}

TEST(JsonLogTest, ALineHasTimeKindFieldsAndTextInOrder) {
  LogEntry entry(LogKind::kKill, "Alice killed Carol (M4)");
  entry.add("victim", 2).add("victim_name", "Carol").add("weapon", "M4");
  std::string out = "kept ";
  appendJsonLogLine(entry, 1796738602125, out);
  EXPECT_EQ(out,
            "kept {\"time\":\"2026-12-08T14:03:22.125Z\",\"kind\":\"kill\",\"victim\":2,"
            "\"victim_name\":\"Carol\",\"weapon\":\"M4\",\"text\":\"Alice killed Carol (M4)\"}\n");
  EXPECT_EQ(rfc3339Utc(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(rfc3339Utc(-1), "1969-12-31T23:59:59.999Z");
  // One formatter across seconds, backwards too: its remembered second
  // never leaks into another's time.
  JsonLogFormatter formatter;
  std::string times;
  for (int64_t ms : {1796738602125, 1796738602999, 1796738603000, 1796738602001}) {
    formatter.appendTime(ms, times);
    times += ' ';
  }
  EXPECT_EQ(times,
            "2026-12-08T14:03:22.125Z 2026-12-08T14:03:22.999Z 2026-12-08T14:03:23.000Z "
            "2026-12-08T14:03:22.001Z ");
}

TEST(JsonLogTest, KindsHaveDistinctNamesAndLinesWithoutOneAKindByTheirForm) {
  std::set<std::string_view> names;
  for (int kind = 0; kind <= static_cast<int>(LogKind::kWarning); ++kind) {
    names.insert(logKindName(static_cast<LogKind>(kind)));
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(LogKind::kWarning) + 1);
  EXPECT_EQ(logKindOfLine("* console:Admin slapped Bob"), LogKind::kCommand);
  EXPECT_EQ(logKindOfLine("ERROR: socket creation failed"), LogKind::kError);
  EXPECT_EQ(logKindOfLine("LUA: Script 'script.lua' loaded."), LogKind::kScript);
  EXPECT_EQ(logKindOfLine("Connecting to 127.0.0.1:4003 as Admin..."), LogKind::kConsole);
  EXPECT_EQ(logKindOfErrorLine("gsadmin: warning: port '4003x'"), LogKind::kWarning);
  EXPECT_EQ(logKindOfErrorLine("gsadmin: --db: refused"), LogKind::kError);
  // Past the limit a field is dropped, never written out of bounds.
  LogEntry full(LogKind::kChat, "x");
  for (size_t i = 0; i < kMaxLogFields + 2; ++i) full.add("n", static_cast<int64_t>(i));
  EXPECT_EQ(full.fieldCount, kMaxLogFields);
}

}  // namespace
}  // namespace gsadmin
