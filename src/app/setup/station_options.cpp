#include "app/setup/station_options.h"

namespace multitone {

void AddConfigOption(CLI::App& app, std::string& config) {
  app.add_option("--config", config,
                 "The station file (TOML) that gives the options this command line leaves out "
                 "(default: /etc/multitone/station.toml when it exists; $MULTITONE_STATION_FILE "
                 "when set, empty for none)")
      ->type_name("FILE");
}

StationFile ApplyStationFile(CLI::App& app, const std::string& config) {
  const bool given = app.count("--config") > 0;
  if (given && config.empty()) throw StationFileError("--config: empty file name");
  const StationFile file = LoadStationFile(given ? config : DefaultStationFilePath());
  for (const StationValue& value : file.values) {
    CLI::Option* option = app.get_option_no_throw(std::string(value.key->option));
    if (option == nullptr || option->count() > 0) continue;
    try {
      option->add_result(value.value);
      option->run_callback();
    } catch (const CLI::Error& error) {
      throw StationFileError(value.where + ": " + std::string(value.key->key) + ": " + error.what());
    }
  }
  return file;
}

}  // namespace multitone
