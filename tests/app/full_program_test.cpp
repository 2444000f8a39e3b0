// multitone loads no shared library: what needs one it hands, before it does
// anything, to multitone-full. Which runs are handed over, and multitone
// alone in a folder: it runs and stores a unit on a socket analyzer by
// itself, and names multitone-full for the rest.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "app/full_program.h"
#include "support/record_replay.h"
#include "support/scripted_server.h"
#include "support/subprocess.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

TEST(FullProgram, WhatNeedsASharedLibraryIsHandedOver) {
  struct Case {
    const char* analyzer;
    const char* results;
    bool handed_over;
  };
  const Case cases[] = {
      {"", "", true},                                // the simulated analyzer: FFTW
      {"sim:fault=dead-left", "", true},
      {"TCPIP0::192.168.1.20::inst0::INSTR", "", true},  // VXI-11: libtirpc
      {"tcp://127.0.0.1:5025", "", false},
      {"tcp://[::1]:5025", "", false},
      {"TCPIP::10.0.0.5::5025::SOCKET", "", false},
      {"tcp://analyzer.lab:5025", "", true},         // a name: the name services
      {"tcp://localhost", "", true},
      {"TCPIP::10.0.0.7::hislip0::INSTR", "", false},  // HiSLIP: plain sockets
      {"TCPIP::analyzer.lab::hislip0,4881::INSTR", "", true},
      {"prologix://10.0.0.6/5", "", false},
      {"prologix://gpib-lan/5", "", true},
      {"ASRL/dev/ttyUSB0::INSTR", "", false},
      {"ASRL/dev/ttyUSB0::INSTR?gpib=5", "", false},
      {"replay:run.record", "", false},
      {"tcp://127.0.0.1", "runs.db", false},         // SQLite is linked in
      {"tcp://127.0.0.1", "sqlite:runs", false},
      {"tcp://127.0.0.1", "postgresql://line/runs", true},  // libpq
      {"tcp://127.0.0.1", "postgres://line/runs", true},
      {"tcp://127.0.0.1", "runs.txt", false},        // no store: the run says so
      {"gpib://5", "", false},                       // no address: the run says so
  };
  for (const Case& c : cases) {
    ProgramOptions options;
    options.analyzer = c.analyzer;
    options.results = c.results;
    EXPECT_EQ(NeedsFullProgram(options), c.handed_over) << c.analyzer << " " << c.results;
  }
}

class AloneInAFolder : public ::testing::Test {
 protected:
  // `program` copied into the folder, alone.
  std::string Alone(const char* program, const char* name) {
    std::filesystem::copy_file(program, folder_.Path(name));
    return folder_.Path(name);
  }
  std::string Missing(const std::string& helper) const {
    return "multitone: cannot find " + helper + " beside " +
           std::filesystem::path(folder_.Path(helper)).parent_path().string() + " nor in " + MULTITONE_LIBEXEC_DIR +
           "\n";
  }
  TemporaryFolder folder_;
};

TEST_F(AloneInAFolder, MultitoneRunsAndStoresASocketUnitItself) {
  ScriptedAnalyzer analyzer;
  Apply(PlausibleDevice(), analyzer);
  ScriptedServer server(analyzer);
  const std::string store = folder_.Path("runs.db");
  const ProgramResult result =
      RunProgram({Alone(MULTITONE_BINARY, "multitone"), "--analyzer", server.Address(), "--serial", "SN1",
                  "--results", store},
                 std::chrono::seconds(60));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* count = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM runs WHERE serial = 'SN1'", -1, &count, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(count, 0), 1);
  sqlite3_finalize(count);
  sqlite3_close(db);
}

TEST_F(AloneInAFolder, EachProgramNamesTheOneItHandsOverTo) {
  if (std::filesystem::exists(std::filesystem::path(MULTITONE_LIBEXEC_DIR) / "multitone-full") ||
      std::filesystem::exists(std::filesystem::path(MULTITONE_LIBEXEC_DIR) / "multitone-serve")) {
    GTEST_SKIP() << "multitone's helpers are installed in " << MULTITONE_LIBEXEC_DIR;
  }
  const std::string multitone = Alone(MULTITONE_BINARY, "multitone");
  const std::string full = Alone(MULTITONE_FULL_BINARY, "multitone-full");
  struct Case {
    std::vector<std::string> argv;
    std::string err;
  };
  std::filesystem::remove(full);
  const Case handed_over[] = {
      {{multitone, "--analyzer", "sim"}, Missing("multitone-full")},
      {{multitone, "history", "--help"}, Missing("multitone-full")},
      {{multitone, "--analyzer", "tcp://127.0.0.1:1", "--results", "postgresql://127.0.0.1:1/runs"},
       Missing("multitone-full")},
  };
  for (const Case& c : handed_over) {
    const ProgramResult result = RunProgram(c.argv);
    EXPECT_EQ(result.exit_code, 1) << c.argv[1];
    EXPECT_EQ(result.err, c.err) << c.argv[1];
    EXPECT_EQ(result.out, "") << c.argv[1];
  }
  std::filesystem::remove(multitone);
  const ProgramResult serve = RunProgram({Alone(MULTITONE_FULL_BINARY, "multitone-full"), "serve", "--help"});
  EXPECT_EQ(serve.exit_code, 1);
  EXPECT_EQ(serve.err, Missing("multitone-serve"));
}

}  // namespace
}  // namespace multitone::testing
