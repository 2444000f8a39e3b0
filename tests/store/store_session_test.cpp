// One program run's open store: opened once, opened again after a failed
// open, and a server connection closed since it was opened does not keep the
// spooled runs from being forwarded, nor what is read after a failed read.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <unistd.h>

#include "store/golden_runs.h"
#include "store/kept_alarms.h"
#include "store/store_session.h"
#include "support/postgres_server.h"
#include "support/synthetic_runs.h"

namespace multitone::testing {
namespace {

TEST(StoreSession, OpensTheStoreOnceAndAgainAfterAFailedOpen) {
  const auto folder = std::filesystem::temp_directory_path() / ("multitone-session-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  StoreSession session({"sqlite:" + (folder / "runs.db").string(), ""});
  EXPECT_THROW(session.Results(), StoreError);  // no such folder yet
  EXPECT_FALSE(session.IsOpen());
  std::filesystem::create_directories(folder);
  ResultsStore& store = session.Results();
  EXPECT_EQ(&session.Results(), &store);
  std::mt19937_64 random(5);
  EXPECT_EQ(KeepRun(session, SyntheticRun("run-1", "SN-1", 0, random)), "");
  EXPECT_EQ(&session.Results(), &store);  // kept through the same connection
  EXPECT_EQ(store.RunCount(), 1u);
  std::filesystem::remove_all(folder);
}

TEST(StoreSession, ForwardsOnANewConnectionWhenTheServerClosedTheOpenOne) {
  PostgresServer server;
  const auto spool = std::filesystem::temp_directory_path() / ("multitone-session-" + std::to_string(::getpid()) + ".db");
  std::filesystem::remove(spool);
  StoreSession session({server.Url(), spool.string()});
  session.Results();  // opened before the unit, as the control charts do
  server.Stop();      // the server restarts while the unit is tested
  server.Start();
  std::mt19937_64 random(6);
  ASSERT_EQ(KeepRun(session, SyntheticRun("run-1", "SN-1", 0, random)), "");
  const ForwardReport report = ForwardSpool(session);
  EXPECT_EQ(report.error, "");
  EXPECT_EQ(report.forwarded, 1u);
  EXPECT_EQ(report.left, 0u);
  EXPECT_EQ(ResultsStore::OpenExisting(server.Url()).RunCount(), 1u);
  std::filesystem::remove(spool);
}

TEST(StoreSession, AReadThatLostTheServerLeavesTheNextReadANewConnection) {
  PostgresServer server;
  const auto spool = std::filesystem::temp_directory_path() / ("multitone-session-" + std::to_string(::getpid()) + ".db");
  std::filesystem::remove(spool);
  StoreSession session({server.Url(), spool.string()});
  session.Results();
  server.Stop();  // the server restarts between the golden check's read and the alarms'
  server.Start();
  const GoldenHistory golden = ReadGoldenHistory(session, "ST-1");
  EXPECT_NE(golden.problem, "");  // the connection it had is gone
  EXPECT_FALSE(golden.latest);
  AlarmFilter open;
  open.station = "ST-1";
  open.open_only = true;
  EXPECT_NO_THROW(ReadKeptAlarms(session, open));
  EXPECT_TRUE(session.IsOpen());
  std::filesystem::remove(spool);
}

}  // namespace
}  // namespace multitone::testing
