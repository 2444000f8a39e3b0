#include "store/results_url.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "store/postgres_database.h"
#include "store/sqlite_database.h"

namespace multitone {
namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::optional<ResultsUrl> ParseResultsUrl(const std::string& url) {
  if (url.rfind("sqlite:", 0) == 0 && url.size() > 7) return ResultsUrl{Engine::Sqlite, url.substr(7)};
  if (url.rfind("postgres", 0) == 0) return ResultsUrl{Engine::Postgres, url};
  if (EndsWith(url, ".db") || EndsWith(url, ".sqlite")) return ResultsUrl{Engine::Sqlite, url};
  return std::nullopt;
}

std::unique_ptr<Database> OpenDatabase(const ResultsUrl& url) {
  return url.engine == Engine::Sqlite ? OpenSqlite(url.target) : OpenPostgres(url.target);
}

std::string DefaultSpoolPath() {
  std::filesystem::path folder;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state != '\0') {
    folder = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    folder = std::filesystem::path(home) / ".local" / "state";
  } else {
    folder = ".";
  }
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);  // opening the file says what is wrong
  return (folder / "multitone-spool.db").string();
}

}  // namespace multitone
