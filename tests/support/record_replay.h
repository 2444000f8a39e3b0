#pragma once
// multitone run with --record and --json into a temporary folder, and the
// comparison of two such runs: a live one and its replay.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/subprocess.h"

namespace multitone::testing {

// A folder of its own under the temporary folder, removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  // A path inside it; spaces and slashes in `name` become '-'.
  std::string Path(std::string name) const;

 private:
  std::string path_;
};

struct RecordedRun {
  ProgramResult result;
  std::string record_file;
  std::string json_file;

  nlohmann::json Json() const;
  // The text that set memory string `number` ("syst:mem:strN '...'"), from
  // the record; empty when the run sent none.
  std::string MemoryString(int number) const;
};

// Runs multitone --analyzer ADDRESS --serial PB20000001 --record BASE.jsonl --json
// BASE.json --quiet and `more`, bounded by a minute.
RecordedRun RunRecorded(const std::string& address, const std::string& base, const std::vector<std::string>& more);

// Same exit status, stderr, verdict line (but for the [SIMULATED] mark), JSON
// (but for run id, times, analyzer and the simulated flag) and every
// operation of the two records.
void ExpectSameRun(const RecordedRun& live, const RecordedRun& replayed);

}  // namespace multitone::testing
