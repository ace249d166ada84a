// --backup through the real binary: a copy of the database a running
// client writes to, checked and counted, and the refusals.

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "sim/server_messages.h"
#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

TEST(BackupTest, ACopyOfTheDatabaseARunningClientWritesIsSoundAndCounted) {
  LoopbackPeer peer;
  ClientProcess client({"--no-input", "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"}, "");
  ASSERT_TRUE(acceptLogin(peer, {{1, "Ann"}}));
  for (int i = 0; i < 50; ++i) peer.send(chatLine(1, 1, "line " + std::to_string(i)));
  ASSERT_TRUE(client.waitForLine("Ann: line 49"));
  const std::string database = client.directory() + "/script.db";
  const std::string copy = client.directory() + "/copy.db";
  // The client's batch of records reaches the file within a second.
  std::string counted;
  for (int tries = 0; tries < 50 && counted.find("gs_chat: 50 rows") == std::string::npos;
       ++tries) {
    std::remove(copy.c_str());
    ClientProcess backup({"--backup=" + copy, "--db=" + database}, std::nullopt);
    EXPECT_EQ(backup.waitExit(10000), 0) << backup.errorOutput();
    backup.readToEnd();
    counted = backup.output();
    if (counted.find("gs_chat: 50 rows") == std::string::npos) usleep(100000);
  }
  EXPECT_NE(counted.find("backup: " + database + " copied to " + copy + "\n"), std::string::npos);
  EXPECT_NE(counted.find("integrity: ok\n"), std::string::npos) << counted;
  EXPECT_NE(counted.find("gs_chat: 50 rows\n"), std::string::npos) << counted;
  EXPECT_NE(counted.find("gs_audit: 0 rows\n"), std::string::npos) << counted;
  // The client went on meanwhile.
  peer.send(chatLine(1, 1, "after"));
  EXPECT_TRUE(client.waitForLine("Ann: after"));

  // Never put back under a running client; once it ended, the copy goes
  // back whole. A file that is no sound database is refused before.
  ClientProcess held({"--restore=" + copy, "--db=" + database}, std::nullopt);
  EXPECT_EQ(held.waitExit(5000), 2);
  EXPECT_NE(held.errorOutput().find(database + ": a client holds the database"), std::string::npos)
      << held.errorOutput();
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(5000), 0);
  ClientProcess restore({"--restore=" + copy, "--db=" + database}, std::nullopt);
  EXPECT_EQ(restore.waitExit(10000), 0) << restore.errorOutput();
  restore.readToEnd();
  EXPECT_NE(restore.output().find("restore: " + copy + " put back as " + database + "\n"),
            std::string::npos);
  EXPECT_NE(restore.output().find("gs_chat: 50 rows\n"), std::string::npos) << restore.output();
  const std::string junk = client.directory() + "/junk.db";
  {
    std::FILE* file = std::fopen(junk.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a database, but long enough to look like a header of one at first\n", file);
    std::fclose(file);
  }
  ClientProcess refused({"--restore=" + junk, "--db=" + database}, std::nullopt);
  EXPECT_EQ(refused.waitExit(5000), 1);

  // An existing file is never overwritten; a PostgreSQL database is pg_dump's.
  ClientProcess again({"--backup=" + copy, "--db=" + database}, std::nullopt);
  EXPECT_EQ(again.waitExit(5000), 2);
  EXPECT_EQ(again.errorOutput(), "gsadmin: --backup: " + copy + ": exists; give a new file name\n");
  ClientProcess uri({"--backup=" + copy + "2", "--db=postgresql://u@db.invalid/x"}, std::nullopt);
  EXPECT_EQ(uri.waitExit(5000), 2);
  EXPECT_NE(uri.errorOutput().find("pg_dump"), std::string::npos);
}

}  // namespace
}  // namespace gsadmin::testing
