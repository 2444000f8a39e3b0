// multitone: one start, one measurement run. Exit status 0 when the run is
// complete, 1 when it failed (one line "error N: Step: ..." on stderr), 2 on a
// bad command line.
#include <csignal>
#include <iostream>

#include "app/analyzer_factory.h"
#include "app/options.h"
#include "app/run_measurement.h"

int main(int argc, char** argv) {
  // A peer that closes the connection must show as an error, never kill us.
  std::signal(SIGPIPE, SIG_IGN);

  multitone::ProgramOptions options;
  if (const auto exit_status = multitone::ParseOptions(argc, argv, options)) return *exit_status;
  if (options.analyzer.empty()) {
    std::cerr << "multitone: --analyzer is needed (for example --analyzer tcp://192.168.1.20); "
                 "see multitone --help\n";
    return 2;
  }

  multitone::MeasurementRecord record;
  record.CreateAnalyzer = multitone::MakeAnalyzerFactory(options);
  try {
    multitone::RunMeasurement(record);
  } catch (const multitone::RunError& error) {
    std::cerr << error.Report() << '\n';
    return 1;
  }
  return 0;
}
