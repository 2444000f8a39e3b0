#include "app/options.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "app/embedded_analyzer.h"
#include "app/usage_error.h"
#include "app/whole_number_check.h"
#include "sim/atomic_file.h"
#include "sim/device_options.h"

namespace multitone {
namespace {

// Why the --screen file cannot be used; empty when it can.
std::string ScreenProblem(const ProgramOptions& options) {
  if (!EmbeddedAnalyzer::Serves(options.analyzer)) {
    return "--screen needs the simulated analyzer (--analyzer sim); a real analyzer shows its own display";
  }
  const std::string why = sim::WhyFileCannotBeWritten(options.screen_svg);
  return why.empty() ? "" : "--screen: " + why;
}

}  // namespace

std::optional<int> ParseOptions(int argc, const char* const* argv, ProgramOptions& options) {
  CLI::App app(
      "multitone: unattended production test of a two-channel playback device.\n"
      "Drives a two-channel audio analyzer over SCPI: measures the speed (pitch) error on\n"
      "the 1 kHz reference tone, takes one FFT of the 16-tone multitone signal, computes\n"
      "frequency response, crosstalk, distortion and signal-to-noise, and writes the\n"
      "results back into the analyzer. Exit status: 0 done, 1 the run failed (one line\n"
      "\"error N: Step: what went wrong\" on stderr), 2 bad command line.",
      "multitone");
  app.add_option("--analyzer", options.analyzer,
                 "The analyzer: tcp://HOST[:PORT] (port 5025 by default), or sim[:OPTIONS] for "
                 "the built-in simulated analyzer (the default)")
      ->type_name("ADDRESS")
      ->check(CLI::Validator(
          [](const std::string& address) { return address.empty() ? "empty analyzer address" : ""; }, ""));
  app.add_option("--timeout", options.timeout_ms,
                 "Longest wait for one analyzer operation, in milliseconds")
      ->type_name("MS")
      ->check(WholeNumberCheck(1, 24 * 3600 * 1000, "milliseconds"))
      ->capture_default_str();
  app.add_flag("--trace", options.trace, "Show every analyzer operation on stderr as it happens");
  app.add_option("--screen", options.screen_svg,
                 "With the simulated analyzer: write its display as an SVG file")
      ->type_name("FILE.svg");
  app.set_version_flag("--version", std::string("multitone ") + MULTITONE_VERSION);
  app.footer("The simulated analyzer's device, as sim:KEY=VALUE,KEY=VALUE (range, default):\n" +
             sim::DeviceOptionsHelp());

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::CallForVersion&) {
    std::cout << "multitone " << MULTITONE_VERSION << '\n';
    return 0;
  } catch (const CLI::ParseError& error) {
    return UsageError(error.what(), std::cerr);
  }
  if (app.count("--screen") > 0) {
    if (const std::string problem = ScreenProblem(options); !problem.empty()) {
      return UsageError(problem, std::cerr);
    }
  }
  return std::nullopt;
}

}  // namespace multitone
