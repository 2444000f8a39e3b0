#pragma once
// The station file on a command's parser: --config FILE, and every option
// the command line left out taken from the file (app/station_file.h).
#include <string>

#include <CLI/CLI.hpp>

#include "app/setup/station_file.h"

namespace multitone {

// Adds "--config FILE" to `app`, bound to `config`.
void AddConfigOption(CLI::App& app, std::string& config);

// After app.parse(): reads the station file (--config's, else the default
// one) and hands each of its values to the option of `app` it stands for,
// unless the command line gave that option; a key whose option `app` lacks
// is left alone. Returns the file read. Throws StationFileError for a file
// that cannot be read or parsed, or a value its option refuses.
StationFile ApplyStationFile(CLI::App& app, const std::string& config);

}  // namespace multitone
