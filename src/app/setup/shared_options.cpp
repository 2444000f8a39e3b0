#include "app/setup/shared_options.h"

#include "app/doors/analyzer_doors.h"
#include "app/setup/whole_number_check.h"

namespace multitone {

CLI::Option* AddAnalyzerOption(CLI::App& app, std::string& analyzer) {
  return app
      .add_option("--analyzer", analyzer,
                  "The analyzer: tcp://HOST[:PORT] (port 5025 by default) or TCPIP::HOST::PORT::SOCKET for a raw "
                  "socket; TCPIP::HOST[::inst0][::INSTR] or, behind a LAN/GPIB gateway, "
                  "TCPIP::HOST::gpib0,ADDR::INSTR for VXI-11; TCPIP::HOST::hislip0[,4880]::INSTR for HiSLIP; "
                  "ASRL/dev/PATH::INSTR[?baud=9600,bits=8,parity=none,stop=1,flow=none,term=lf] for a serial "
                  "line; prologix://HOST[:1234]/ADDR or ASRL/dev/PATH::INSTR?gpib=ADDR for a ++ GPIB "
                  "controller; sim[:OPTIONS] for the built-in simulated analyzer; or replay:FILE for a run "
                  "recorded with --record FILE")
      ->type_name("ADDRESS")
      ->check(AnalyzerAddressCheck());
}

CLI::Validator AnalyzerAddressCheck() {
  return CLI::Validator(
      [](const std::string& address) {
        return address.empty() ? std::string("empty analyzer address") : WhyAnalyzerAddressIsRefused(address);
      },
      "");
}

CLI::Option* AddTimeoutOption(CLI::App& app, int& timeout_ms) {
  return app.add_option("--timeout", timeout_ms, "Longest wait for one analyzer operation, in milliseconds")
      ->type_name("MS")
      ->check(WholeNumberCheck(1, 24 * 3600 * 1000, "milliseconds"))
      ->capture_default_str();
}

CLI::Option* AddLimitsOption(CLI::App& app, std::string& limits) {
  return app.add_option("--limits", limits, "The limits (TOML) every unit is judged against")->type_name("FILE");
}

CLI::Option* AddResultsOption(CLI::App& app, std::string& results) {
  return app
      .add_option("--results", results,
                  "The results store: sqlite:PATH (or a file ending in .db or .sqlite), or postgresql://... "
                  "(password from PGPASSWORD or ~/.pgpass)")
      ->type_name("URL");
}

CLI::Option* AddSpoolOption(CLI::App& app, std::string& spool) {
  return app
      .add_option("--spool", spool,
                  "With postgresql://: the local spool of runs not yet on the server "
                  "(default: multitone-spool.db in $XDG_STATE_HOME or ~/.local/state)")
      ->type_name("PATH");
}

CLI::Option* AddStationOption(CLI::App& app, std::string& station) {
  return app.add_option("--station", station, "This station's name (default: the host name)")->type_name("NAME");
}

}  // namespace multitone
