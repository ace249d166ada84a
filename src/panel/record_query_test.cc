#include "panel/record_query.h"

#include <gtest/gtest.h>

#include <map>

namespace gsadmin {
namespace {

ParamLookup paramsOf(std::map<std::string, std::string> params) {
  return [params = std::move(params)](const char* key) -> std::optional<std::string> {
    auto found = params.find(key);
    if (found == params.end()) return std::nullopt;
    return found->second;
  };
}

TEST(RecordQueryTest, BanQueriesReadEveryFilterAndThePage) {
  RecordQuery<BanFilter> query = banQuery(paramsOf({{"q", "bo"},
                                                    {"state", "ended"},
                                                    {"actor", "alice"},
                                                    {"server", "east"},
                                                    {"before", "42"},
                                                    {"limit", "200"}}));
  EXPECT_EQ(query.error, "");
  EXPECT_EQ(query.filter.name, "bo");
  EXPECT_EQ(query.filter.state, BanState::kEnded);
  EXPECT_EQ(query.filter.actor, "alice");
  EXPECT_EQ(query.filter.server, "east");
  EXPECT_EQ(query.page.before, 42);
  EXPECT_EQ(query.page.rows, kMaxPageRows);

  RecordQuery<BanFilter> plain = banQuery(paramsOf({}));
  EXPECT_EQ(plain.error, "");
  EXPECT_EQ(plain.filter.state, BanState::kAll);
  EXPECT_FALSE(plain.page.before);
  EXPECT_EQ(plain.page.rows, kDefaultPageRows);
  EXPECT_EQ(forExport(plain).page.rows, kMaxExportRows);
}

TEST(RecordQueryTest, FaultyParametersAreRefusedWithTheFirstFault) {
  struct Case {
    std::map<std::string, std::string> params;
    const char* error;
  } cases[] = {
      {{{"state", "gone"}}, "state is active, ended or all"},
      {{{"limit", "201"}}, "limit is at most 200"},
      {{{"limit", "0"}}, "limit is a whole number of at least 1"},
      {{{"before", "-1"}}, "before is a whole number of at least 1"},
      {{{"before", "1234567890123456789"}}, "before is a whole number of at least 1"},
      {{{"q", std::string(65, 'a')}}, "q is a text of at most 64 bytes on one line"},
      {{{"actor", "a\tb"}}, "actor is a text of at most 64 bytes on one line"},
      {{{"q", "\n"}, {"limit", "0"}}, "q is a text of at most 64 bytes on one line"},
  };
  for (const Case& c : cases) EXPECT_EQ(banQuery(paramsOf(c.params)).error, c.error);
  EXPECT_EQ(banQuery(paramsOf({{"q", std::string(64, 'a')}})).error, "");
}

TEST(RecordQueryTest, AuditQueriesReadTheTimeRange) {
  RecordQuery<AuditFilter> query = auditQuery(paramsOf({{"actor", "panel:alice"},
                                                        {"action", "ban reason"},
                                                        {"target", "bob"},
                                                        {"from", "0"},
                                                        {"to", "1796731200"},
                                                        {"limit", "5"}}));
  EXPECT_EQ(query.error, "");
  EXPECT_EQ(query.filter.action, "ban reason");
  EXPECT_EQ(query.filter.from, 0);
  EXPECT_EQ(query.filter.to, 1796731200);
  EXPECT_EQ(query.page.rows, 5u);
  EXPECT_EQ(auditQuery(paramsOf({{"from", "yesterday"}})).error,
            "from is a whole number of at least 0");
}

}  // namespace
}  // namespace gsadmin
