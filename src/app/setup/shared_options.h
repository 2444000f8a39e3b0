#pragma once
// The options that the run, `serve` and `study grr` share, each declared once
// with one help text and one check, so that the three commands cannot drift
// apart (nor from the station file, whose keys stand for these options).
#include <string>

#include <CLI/CLI.hpp>

namespace multitone {

// --analyzer ADDRESS: every door's form, checked as the run would parse it.
CLI::Option* AddAnalyzerOption(CLI::App& app, std::string& analyzer);
// That check alone, for `config check`'s own options.
CLI::Validator AnalyzerAddressCheck();
// --timeout MS: the longest wait for one analyzer operation.
CLI::Option* AddTimeoutOption(CLI::App& app, int& timeout_ms);
// --limits FILE: the limits every unit is judged against.
CLI::Option* AddLimitsOption(CLI::App& app, std::string& limits);
// --results URL: the results store.
CLI::Option* AddResultsOption(CLI::App& app, std::string& results);
// --spool PATH: with PostgreSQL, the local spool of runs not yet on the server.
CLI::Option* AddSpoolOption(CLI::App& app, std::string& spool);
// --station NAME: this station's name.
CLI::Option* AddStationOption(CLI::App& app, std::string& station);

}  // namespace multitone
