#pragma once
// A results store on each engine for the store's tests: a SQLite file in a
// temporary folder, or a PostgreSQL server of the test's own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "store/database.h"
#include "support/postgres_server.h"

namespace multitone::testing {

class StoreOnEngine : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "multitone-store.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    if (GetParam() == Engine::Postgres) server_ = std::make_unique<PostgresServer>();
  }
  void TearDown() override {
    server_.reset();
    std::filesystem::remove_all(folder_);
  }
  // The store's --results URL.
  std::string Url() const {
    return server_ ? server_->Url() : "sqlite:" + (folder_ / "results.db").string();
  }
  std::string Spool(const std::string& name = "spool") const {
    return (folder_ / (name + ".db")).string();
  }

  std::filesystem::path folder_;
  std::unique_ptr<PostgresServer> server_;
};

inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::Sqlite ? "SQLite" : "PostgreSQL";
}

}  // namespace multitone::testing
