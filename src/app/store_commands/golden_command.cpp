// multitone golden add SERIAL: a golden unit's references, the mean of its
// newest stored runs, written into the limits file's [golden] section.
// multitone golden status: the station's last check and when the next is
// due. Exit status 0; 3 for status when a check is due; 1 when the store or
// the file cannot be read or written; 2 for a bad command line or file.
#include "app/store_commands/golden_command.h"

#include <chrono>
#include <iostream>

#include "app/setup/command_line.h"
#include "app/setup/whole_number_check.h"
#include "common/durable_file.h"
#include "line/golden_schedule.h"
#include "station/unit_run.h"
#include "store/golden_runs.h"
#include "store/results_store.h"
#include "verdict/golden_entry_text.h"
#include "verdict/golden_section.h"
#include "verdict/limits.h"
#include "verdict/serial_pattern.h"

namespace multitone {
namespace {

// The references from the means; figures that were never defined (or not
// above 0 where compared as a ratio) are left out.
GoldenUnit ReferencesOf(const std::string& serial, const SerialFigures& figures) {
  GoldenUnit unit;
  unit.serial = serial;
  for (const FigureMean& m : figures.means) {
    if (m.figure == kPitchErrorName) {
      unit.pitch_error = m.mean;
      continue;
    }
    const int c = m.channel == "left" ? 0 : m.channel == "right" ? 1 : -1;
    if (c < 0) continue;
    const Channel channel = c == 0 ? Channel::Left : Channel::Right;
    if (m.figure == kResponseName) {
      if (m.tone >= 1 && m.tone <= static_cast<int>(kGoldenTones)) unit.response[c][m.tone - 1] = m.mean;
      continue;
    }
    for (const Figure figure : kFigures) {
      if (FigureName(figure) != m.figure) continue;
      if (!ComparedAsRatio(figure) || m.mean > 0) unit.Of(channel, figure) = m.mean;
    }
  }
  return unit;
}

int Add(const std::string& serial, const std::string& results, const std::string& limits_file,
        const std::string& station, std::size_t runs, std::optional<double> tolerance, const std::string& every,
        std::optional<long long> every_units) {
  const auto fail = [](int status, const std::string& why) {
    std::cerr << "multitone golden add: " << why << '\n';
    return status;
  };
  if (!every.empty() && !ParseInterval(every)) {
    return fail(2, "--every " + every + ": expected a whole number and s, m, h or d, e.g. 8h");
  }
  LimitsSource source;
  try {
    source = LoadLimits(limits_file);
  } catch (const LimitsError& error) {
    return fail(2, error.what());
  }
  if (const std::string why = WhyFileCannotBeWritten(limits_file); !why.empty()) return fail(2, why);
  const std::string& pattern = source.limits.serial_pattern;
  if (!pattern.empty() && !MatchesPattern(serial, pattern)) {
    return fail(2, serial + " does not match the limits' serial_pattern: the station would refuse it");
  }
  SerialFigures figures;
  try {
    ResultsStore store = ResultsStore::OpenExisting(results);
    figures = SerialFigureMeans(store.db(), serial, station, runs);
  } catch (const StoreError& error) {
    return fail(1, error.what());
  }
  if (figures.runs == 0) {
    return fail(1, "no completed run of " + serial + (station.empty() ? "" : " on " + station) + " in " + results);
  }
  GoldenUnit unit = ReferencesOf(serial, figures);
  std::optional<NewGoldenSection> section;
  if (!source.limits.golden.present) {
    section = NewGoldenSection{every, every_units, tolerance.value_or(0.2)};
  } else {
    if (!every.empty() || every_units) {
      return fail(2, limits_file + " has a [golden] section already: change its interval there by hand");
    }
    unit.tolerance = tolerance;
  }
  std::string text;
  try {
    text = WithGoldenEntry(source.content, limits_file, unit, section);
  } catch (const LimitsError& error) {
    return fail(2, error.what());
  }
  if (const std::string why = WriteFileDurably(limits_file, text); !why.empty()) return fail(1, why);
  std::cout << "golden unit " << serial << ": references from the mean of " << figures.runs << " run(s), the newest at "
            << figures.newest << ", written to " << limits_file << '\n';
  return 0;
}

int Status(const std::string& results, const std::string& limits_file, const std::string& station) {
  LimitsSource source;
  try {
    source = LoadLimits(limits_file);
  } catch (const LimitsError& error) {
    std::cerr << "multitone golden status: " << error.what() << '\n';
    return 2;
  }
  if (!source.limits.golden.present) {
    std::cerr << "multitone golden status: " << limits_file << " has no [golden] section\n";
    return 2;
  }
  try {
    const GoldenStatus status =
        ReadGoldenStatus(RunStorage{results, {}}, station, source.limits.golden, std::chrono::system_clock::now());
    std::cout << "station: " << station << '\n' << GoldenStatusText(source.limits.golden, status);
    return status.due ? 3 : 0;
  } catch (const StoreError& error) {
    std::cerr << "multitone golden status: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace

int GoldenCommand(int argc, const char* const* argv) {
  std::string serial, results, limits_file, station, every;
  std::size_t runs = 5;
  double tolerance = 0;
  long long every_units = 0;
  CLI::App app("The golden-unit station check.", "multitone golden");
  app.require_subcommand(1);
  CLI::App* add =
      app.add_subcommand("add",
                         "Take a golden unit's references from the store (the mean of its newest completed runs, "
                         "production or golden) and write its entry into the limits file's [golden] section");
  add->add_option("SERIAL", serial, "The golden unit's serial")->required();
  add->add_option("--results", results, "The results store")->type_name("URL")->required();
  add->add_option("--limits", limits_file, "The limits file to write the entry into")->type_name("FILE")->required();
  add->add_option("--station", station, "Only this station's runs (default: every station's)")->type_name("NAME");
  add->add_option("--runs", runs, "Average the newest N runs (default 5)")
      ->type_name("N")
      ->check(WholeNumberCheck(1, 100000, "runs"));
  auto* tolerance_option =
      add->add_option("--tolerance", tolerance,
                      "dB: the unit's own tolerance; for a new [golden] section, the section's (default 0.2)")
          ->type_name("DB")
          ->check(CLI::Range(0.0, 1000.0));
  add->add_option("--every", every, "A new [golden] section's interval, e.g. 8h")->type_name("TIME");
  auto* units_option = add->add_option("--every-units", every_units, "A new [golden] section's unit count")
                           ->type_name("N")
                           ->check(CLI::Range(1LL, 100000000LL));
  CLI::App* status = app.add_subcommand("status", "The station's last golden check and when the next is due");
  status->add_option("--results", results, "The results store")->type_name("URL")->required();
  status->add_option("--limits", limits_file, "The limits file with the [golden] section")
      ->type_name("FILE")
      ->required();
  status->add_option("--station", station, "The station (default: this host's name)")->type_name("NAME");
  if (const auto parsed = ParseCommandLine(app, argc, argv)) return *parsed;
  if (add->parsed()) {
    return Add(serial, results, limits_file, station, runs,
               *tolerance_option ? std::optional<double>(tolerance) : std::nullopt, every,
               *units_option ? std::optional<long long>(every_units) : std::nullopt);
  }
  return Status(results, limits_file, station.empty() ? HostName() : station);
}

}  // namespace multitone
