#pragma once
// One builder of the station's setup for `multitone` and `multitone serve`:
// the analyzer's factory, the limits, the station's and operator's names,
// each checked before the analyzer is touched.
#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>

#include "app/doors/analyzer_factory.h"
#include "app/doors/embedded_analyzer.h"
#include "station/unit_run.h"

namespace multitone {

struct StationChoices {
  std::string analyzer;              // the address; empty: the simulated analyzer
  std::chrono::milliseconds timeout{20000};
  std::ostream* trace = nullptr;     // every link operation, when given
  std::string limits_file;           // empty: units are not judged
  std::string station;               // empty: this machine's host name
  bool station_given = false;        // an empty name given is refused
  std::string operator_name;         // empty: none
  bool replay_timing = false;        // replay:FILE keeps the recorded delays
  TransportWrap wrap;                // put around every transport opened (--record)
};

// Fills `setup`; empty on success, else why the setup cannot be made (a
// limits file that cannot be read, parsed or sets no limit; a name that
// breaks the rule), for the program to end with exit status 2. The
// simulated analyzer, when it is the one, lands in `*embedded` if given.
std::string BuildStationSetup(const StationChoices& choices, StationSetup& setup,
                              std::shared_ptr<EmbeddedAnalyzer>* embedded = nullptr);

}  // namespace multitone
