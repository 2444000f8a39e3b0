#pragma once
// The one small interface the results store speaks to its two engines
// (SQLite for a station, PostgreSQL for a line). Statements are written once,
// with numbered parameters $1, $2, ... that both engines accept; values are
// always bound, never spliced into the text.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace multitone {

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// NULL, an integer, a double or a text.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string>;

inline SqlValue TextOrNull(const std::string& text) {
  return text.empty() ? SqlValue{} : SqlValue{text};
}
inline SqlValue DoubleOrNull(const std::optional<double>& value) {
  return value ? SqlValue{*value} : SqlValue{};
}

// One row of a result, columns counted from 0.
class SqlRow {
 public:
  virtual ~SqlRow() = default;
  virtual bool IsNull(int column) const = 0;
  virtual std::int64_t Int(int column) const = 0;
  virtual double Double(int column) const = 0;
  virtual std::string Text(int column) const = 0;  // "" for NULL

  std::optional<double> OptionalDouble(int column) const {
    return IsNull(column) ? std::nullopt : std::optional<double>(Double(column));
  }
};

enum class Engine { Sqlite, Postgres };

class Database {
 public:
  virtual ~Database() = default;
  virtual Engine engine() const = 0;
  // Statements without parameters, separated by ';'.
  virtual void ExecuteScript(const std::string& sql) = 0;
  // One statement; `row` is called for each row of its result.
  virtual void Query(const std::string& sql, const std::vector<SqlValue>& params,
                     const std::function<void(const SqlRow&)>& row) = 0;
  void Execute(const std::string& sql, const std::vector<SqlValue>& params = {}) {
    Query(sql, params, [](const SqlRow&) {});
  }
};

// A transaction that rolls back unless committed. On SQLite it takes the
// write lock at once (BEGIN IMMEDIATE), so two writers wait on the busy
// timeout instead of failing on a lock upgrade.
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Database& db_;
  bool open_ = true;
};

}  // namespace multitone
