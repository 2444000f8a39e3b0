#pragma once
// The station file: one station's settings in TOML (by default
// /etc/multitone/station.toml), so that a station is set up once instead of
// on every command line. Each key stands for one command-line option; an
// option given on the command line wins over the file. A key the file does
// not know, a value of the wrong type and a malformed file are errors, thrown
// as StationFileError "FILE:LINE:COL: what" as limits files report theirs.
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace multitone {

class StationFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One key of the station file and the option it stands for.
struct StationKey {
  enum class Kind {
    Text,          // any text but the empty one
    Path,          // a file or folder; relative to the station file's folder
    Milliseconds,  // a whole number from 1 to 86400000
  };
  std::string_view key;     // "analyzer.address"
  std::string_view option;  // "--analyzer"
  Kind kind;
};

// Every key, in the order `config check` shows them.
std::span<const StationKey> StationKeys();

// One value the file gives, as its option would take it from the command line.
struct StationValue {
  const StationKey* key = nullptr;
  std::string value;
  std::string where;  // "FILE:LINE:COL"
};

struct StationFile {
  std::string path;                  // empty: no station file
  std::vector<StationValue> values;  // in the order of StationKeys()
};

// The station file a command reads when no --config is given: the value of
// MULTITONE_STATION_FILE when that is set (empty: none), else
// /etc/multitone/station.toml when it exists, else none ("").
std::string DefaultStationFilePath();

// The settings in `content`, read from `file` (named in errors).
StationFile ParseStationFile(std::string_view content, const std::string& file);

// Reads and parses `file`; an empty name gives no values.
StationFile LoadStationFile(const std::string& file);

}  // namespace multitone
