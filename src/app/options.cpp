#include "app/options.h"

#include <CLI/CLI.hpp>
#include <iostream>

namespace multitone {

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
                 "the built-in simulated analyzer")
      ->type_name("ADDRESS");
  app.add_option("--timeout", options.timeout_ms,
                 "Longest wait for one analyzer operation, in milliseconds")
      ->type_name("MS")
      ->check(CLI::Range(1, 24 * 3600 * 1000))
      ->capture_default_str();
  app.add_flag("--trace", options.trace, "Show every analyzer operation on stderr as it happens");
  app.add_option("--screen", options.screen_svg,
                 "With the simulated analyzer: write its display as an SVG file")
      ->type_name("FILE.svg");
  app.set_version_flag("--version", std::string("multitone ") + MULTITONE_VERSION);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::CallForVersion&) {
    std::cout << "multitone " << MULTITONE_VERSION << '\n';
    return 0;
  } catch (const CLI::ParseError& error) {
    std::cerr << "multitone: " << error.what() << "\n\n" << app.help();
    return 2;
  }
  return std::nullopt;
}

}  // namespace multitone
