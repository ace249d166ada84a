// The journal of records waiting for a shared database: its encoding of
// values, hostile bytes read back, and what a reopened file still holds.

#include "moderation/record_journal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

std::vector<DbValue> everyKind() {
  return {DbValue::null(),
          DbValue::integer(-9007199254740993),
          DbValue::real(-0.25),
          DbValue::text(std::string("B\0b\xC3\xA9", 5)),
          DbValue::blob(std::string(1000, '\xFF')),
          DbValue::text("")};
}

TEST(RecordJournalTest, ValuesComeBackAsTheyWentAndDamageIsRefused) {
  std::vector<DbValue> values = everyKind();
  std::vector<DbValue> back;
  ASSERT_TRUE(decodeBindings(encodeBindings(values), &back));
  ASSERT_EQ(back.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(back[i].type, values[i].type) << i;
    EXPECT_EQ(back[i].integerValue, values[i].integerValue) << i;
    EXPECT_EQ(back[i].realValue, values[i].realValue) << i;
    EXPECT_EQ(back[i].bytes, values[i].bytes) << i;
  }
  std::string good = encodeBindings(values);
  const std::string damaged[] = {
      good.substr(0, good.size() - 1),        // cut short
      std::string("\x07", 1),                 // no such kind
      std::string("\x01\x00\x00", 3),         // an integer of three bytes
      std::string("\x03\xFF\xFF\xFF\x7F", 5)  // a text longer than any kept
  };
  for (const std::string& bytes : damaged) EXPECT_FALSE(decodeBindings(bytes, &back));
}

TEST(RecordJournalTest, AReopenedFileHoldsWhatWasNotSettled) {
  TempDir dir;
  std::string path = dir.path() + "/gsadmin-journal.db";
  std::vector<DbValue> values = everyKind();
  std::vector<int64_t> seqs;
  {
    RecordJournal journal(path);
    ASSERT_EQ(journal.open(), "");
    std::vector<RecordJournal::Write> writes(4, {"INSERT INTO t VALUES (?)", &values});
    ASSERT_EQ(journal.append(writes, &seqs), "");
    ASSERT_EQ(seqs.size(), 4u);
    EXPECT_EQ(journal.markInFlight({"c1", 7, seqs[1]}), "");
    EXPECT_EQ(journal.forget(seqs[2]), "");
    EXPECT_EQ(journal.size(), 3u);
  }
  RecordJournal journal(path);
  ASSERT_EQ(journal.open(), "");
  std::vector<RecordJournal::Entry> entries;
  std::optional<RecordJournal::InFlight> inFlight;
  size_t damaged = 0;
  ASSERT_EQ(journal.load(&entries, &inFlight, &damaged), "");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].seq, seqs[3]);
  EXPECT_EQ(entries[0].sql, "INSERT INTO t VALUES (?)");
  EXPECT_EQ(entries[0].bindings.size(), values.size());
  ASSERT_TRUE(inFlight);
  EXPECT_EQ(inFlight->client, "c1");
  EXPECT_EQ(inFlight->batch, 7);

  // Settled up to the mark: the mark and the writes it covered go.
  ASSERT_EQ(journal.settled(inFlight->lastSeq), "");
  ASSERT_EQ(journal.load(&entries, &inFlight, &damaged), "");
  EXPECT_EQ(entries.size(), 1u);
  EXPECT_FALSE(inFlight);
  EXPECT_EQ(journal.size(), 1u);
}

TEST(RecordJournalTest, ARowDamagedOnDiskIsSkippedAndCounted) {
  TempDir dir;
  std::string path = dir.path() + "/gsadmin-journal.db";
  std::vector<DbValue> values = {DbValue::integer(1)};
  RecordJournal journal(path);
  ASSERT_EQ(journal.open(), "");
  std::vector<int64_t> seqs;
  std::vector<RecordJournal::Write> writes(2, {"INSERT INTO t VALUES (?)", &values});
  ASSERT_EQ(journal.append(writes, &seqs), "");
  SqliteDatabase file(path);
  ASSERT_FALSE(
      file.run("UPDATE gs_journal SET bindings = x'09' WHERE seq = ?", {DbValue::integer(seqs[0])})
          .error);
  std::vector<RecordJournal::Entry> entries;
  std::optional<RecordJournal::InFlight> inFlight;
  size_t damaged = 0;
  ASSERT_EQ(journal.load(&entries, &inFlight, &damaged), "");
  EXPECT_EQ(damaged, 1u);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].seq, seqs[1]);
}

}  // namespace
}  // namespace gsadmin
