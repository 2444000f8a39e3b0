// multitone limits derive: a limits file drafted from golden units' stored
// runs, on stdout.
#include <fstream>
#include <iostream>

#include "app/setup/command_line.h"
#include "app/store_commands/store_commands.h"
#include "store/derive_limits.h"
#include "store/results_store.h"

namespace multitone {
namespace {

// --k: a number above 0 and at most 100 ("nan", "0" and "-1" are not).
CLI::Validator SigmaCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double k = 0;
        try {
          std::size_t used = 0;
          k = std::stod(text, &used);
          if (used != text.size()) k = 0;
        } catch (const std::exception&) {
        }
        if (!(k > 0 && k <= 100)) return "'" + text + "' is not a number above 0 and at most 100, e.g. 4";
        return "";
      },
      "", "number");
}

}  // namespace

int LimitsCommand(int argc, const char* const* argv) {
  std::string results, serials_file;
  double k = 4;
  bool force = false;
  CLI::App app("Limits files.", "multitone limits");
  app.require_subcommand(1);
  CLI::App* derive = app.add_subcommand(
      "derive", "Draft a limits file from golden units: mean ± k standard deviations per "
                "figure and channel, and a response mask from the tones' spread, over each "
                "unit's latest run where it was PASS or MARGINAL; never narrower than the "
                "measurement's repeatability");
  derive->add_option("--results", results, "The results store")->type_name("URL")->required();
  derive->add_option("--serials", serials_file, "The golden units' serials, one a line")
      ->type_name("FILE")
      ->required();
  derive->add_option("--k", k, "Standard deviations on each side of the mean")
      ->check(SigmaCheck())
      ->capture_default_str();
  derive->add_flag("--force", force,
                   "Draft from fewer than " + std::to_string(kMinimumGoldenUnits) + " golden units");
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
    const DraftedLimits drafted = DeriveLimits(store.db(), serials, k, force);
    for (const std::string& unit : drafted.left_out) {
      std::cerr << "multitone limits derive: left out " << unit << '\n';
    }
    std::cout << drafted.toml;
    return 0;
  } catch (const StoreError& error) {
    std::cerr << "multitone limits derive: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace multitone
