#include "store/sqlite_database.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include <sqlite3.h>

namespace multitone {
namespace {

class SqliteRow : public SqlRow {
 public:
  explicit SqliteRow(sqlite3_stmt* statement) : statement_(statement) {}
  bool IsNull(int column) const override {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
  }
  std::int64_t Int(int column) const override { return sqlite3_column_int64(statement_, column); }
  double Double(int column) const override { return sqlite3_column_double(statement_, column); }
  std::string Text(int column) const override {
    const auto* text = sqlite3_column_text(statement_, column);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
  }

 private:
  sqlite3_stmt* statement_;
};

// The store's statements number their parameters $1, $2, ... as PostgreSQL
// does. To SQLite "$1" is a name, found by a search through every name
// before it, when the statement is read and again when a value is bound; and
// even "?1", SQLite's own numbered parameter, is looked up by its number
// among all the others when the statement is compiled. A run's measurements,
// hundreds of parameters in one statement, cost milliseconds either way. So a
// statement whose parameters come in order, $1, $2, ... each once, gets
// SQLite's plain "?" (numbered by their order); any other gets "?N". Quoted
// text and comments are left as they stand.
std::string WithNumberedParameters(const std::string& sql) {
  struct Parameter {
    std::size_t at, length;  // of "$N"
    unsigned long number;
  };
  std::vector<Parameter> found;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    if (c == '\'' || c == '"') {
      const std::size_t end = sql.find(c, i + 1);  // '' inside text closes and opens again
      if (end == std::string::npos) break;
      i = end;
    } else if (c == '-' && next == '-') {
      const std::size_t end = sql.find('\n', i);
      if (end == std::string::npos) break;
      i = end;
    } else if (c == '/' && next == '*') {
      const std::size_t end = sql.find("*/", i + 2);
      if (end == std::string::npos) break;
      i = end + 1;
    } else if (c == '$' && next >= '0' && next <= '9') {
      std::size_t end = i + 1;
      unsigned long number = 0;
      for (; end < sql.size() && sql[end] >= '0' && sql[end] <= '9'; ++end) {
        if (number < 1000000) number = number * 10 + static_cast<unsigned long>(sql[end] - '0');
      }
      found.push_back({i, end - i, number});
      i = end - 1;
    }
  }
  bool in_order = true;
  for (std::size_t k = 0; k < found.size() && in_order; ++k) in_order = found[k].number == k + 1;
  std::string out;
  out.reserve(sql.size());
  std::size_t copied = 0;
  for (const Parameter& p : found) {
    out.append(sql, copied, p.at - copied);
    out += '?';
    if (!in_order) out.append(sql, p.at + 1, p.length - 1);
    copied = p.at + p.length;
  }
  out.append(sql, copied, std::string::npos);
  return out;
}

class Statement {
 public:
  Statement(sqlite3* db, const std::string& written) {
    const std::string sql = WithNumberedParameters(written);
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK) {
      throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db));
    }
  }
  explicit Statement(sqlite3_stmt* prepared) : statement_(prepared) {}
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return statement_; }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

class SqliteDatabase : public Database {
 public:
  SqliteDatabase(const std::string& path, bool create) {
    // Nothing in the file changes here: the layout is read before anything
    // is written (see schema.h).
    if (!create && !std::filesystem::exists(path)) throw StoreError("no such results store: " + path);
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw StoreError("cannot open " + path + ": " + reason);
    }
    sqlite3_busy_timeout(db_, kSqliteBusyTimeoutMs);
    try {
      // Settings of this connection only; the file keeps none of them.
      ExecuteScript("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON");
    } catch (...) {
      sqlite3_close(db_);
      throw;
    }
  }
  ~SqliteDatabase() override { sqlite3_close(db_); }

  Engine engine() const override { return Engine::Sqlite; }

  void ExecuteScript(const std::string& sql) override {
    const char* rest = sql.c_str();
    while (*rest != '\0') {
      sqlite3_stmt* raw = nullptr;
      const char* next = nullptr;
      if (sqlite3_prepare_v2(db_, rest, -1, &raw, &next) != SQLITE_OK) {
        throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db_));
      }
      rest = next;
      if (raw == nullptr) continue;  // blanks or a comment
      Statement statement(raw);
      Run(statement.get(), [](const SqlRow&) {});
    }
  }

  void Query(const std::string& sql, const std::vector<SqlValue>& params,
             const std::function<void(const SqlRow&)>& row) override {
    Statement statement(db_, sql);
    for (std::size_t i = 0; i < params.size(); ++i) Bind(statement.get(), i + 1, params[i]);
    Run(statement.get(), row);
  }

 private:
  // Steps the statement to its end. SQLite answers SQLITE_BUSY at once,
  // without the busy timeout, where waiting could deadlock: a read that turns
  // into a write (the switch of a new file to WAL is one), a WAL snapshot
  // that went stale (SQLITE_BUSY_SNAPSHOT). A statement that is its own
  // transaction and has handed out no row loses nothing by starting again,
  // so it does, until the busy timeout has passed.
  void Run(sqlite3_stmt* statement, const std::function<void(const SqlRow&)>& row) {
    const bool own_transaction = sqlite3_get_autocommit(db_) != 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSqliteBusyTimeoutMs);
    auto pause = std::chrono::milliseconds(1);
    bool handed_out = false;
    SqliteRow current(statement);
    for (;;) {
      const int status = sqlite3_step(statement);
      if (status == SQLITE_DONE) return;
      if (status == SQLITE_ROW) {
        handed_out = true;
        row(current);
        continue;
      }
      if ((status & 0xff) == SQLITE_BUSY && own_transaction && !handed_out &&
          std::chrono::steady_clock::now() + pause < deadline) {
        sqlite3_reset(statement);
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
        continue;
      }
      throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db_));
    }
  }

  // Parameter $k (?k to SQLite), wherever it stands in the statement.
  void Bind(sqlite3_stmt* statement, std::size_t number, const SqlValue& value) {
    if (number > static_cast<std::size_t>(sqlite3_bind_parameter_count(statement))) {
      throw StoreError("SQLite: the statement has no parameter $" + std::to_string(number));
    }
    const int index = static_cast<int>(number);
    const int status = std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) {
            return sqlite3_bind_null(statement, index);
          } else if constexpr (std::is_same_v<T, std::int64_t>) {
            return sqlite3_bind_int64(statement, index, v);
          } else if constexpr (std::is_same_v<T, double>) {
            return sqlite3_bind_double(statement, index, v);
          } else {
            return sqlite3_bind_text(statement, index, v.data(), static_cast<int>(v.size()),
                                     SQLITE_TRANSIENT);
          }
        },
        value);
    if (status != SQLITE_OK) throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db_));
  }

  sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<Database> OpenSqlite(const std::string& path, bool create) {
  return std::make_unique<SqliteDatabase>(path, create);
}

}  // namespace multitone
