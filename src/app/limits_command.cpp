// multitone limits derive: a limits file drafted from golden units' stored
// runs, on stdout.
#include <fstream>
#include <iostream>

#include "app/command_line.h"
#include "app/store_commands.h"
#include "store/derive_limits.h"
#include "store/results_store.h"

namespace multitone {

int LimitsCommand(int argc, const char* const* argv) {
  std::string results, serials_file;
  double k = 4;
  CLI::App app("Limits files.", "multitone limits");
  app.require_subcommand(1);
  CLI::App* derive = app.add_subcommand(
      "derive", "Draft a limits file from golden units: mean ± k standard deviations per "
                "figure and channel, and a response mask from the tones' spread");
  derive->add_option("--results", results, "The results store")->type_name("URL")->required();
  derive->add_option("--serials", serials_file, "The golden units' serials, one a line")
      ->type_name("FILE")
      ->required();
  derive->add_option("--k", k, "Standard deviations on each side of the mean")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;

  std::ifstream in(serials_file);
  if (!in) {
    std::cerr << "multitone limits derive: cannot read " << serials_file << '\n';
    return 2;
  }
  std::vector<std::string> serials;
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line.front() != '#') serials.push_back(line);
  }
  try {
    ResultsStore store = ResultsStore::OpenExisting(results);
    std::cout << DeriveLimits(store.db(), serials, k);
    return 0;
  } catch (const StoreError& error) {
    std::cerr << "multitone limits derive: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace multitone
