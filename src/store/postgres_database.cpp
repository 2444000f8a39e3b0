#include "store/postgres_database.h"

#include "store/libpq_library.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <type_traits>

namespace multitone {
namespace {

std::string Trimmed(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  // libpq's hints come on lines of their own: one line for stderr.
  for (auto at = text.find("\n\t"); at != std::string::npos; at = text.find("\n\t", at)) {
    text.replace(at, 2, " ");
  }
  for (char& c : text) c = c == '\n' ? ' ' : c;
  return text;
}

class PostgresRow : public SqlRow {
 public:
  PostgresRow(const PGresult* result, const LibpqFunctions& pq) : result_(result), pq_(pq) {}
  void At(int row) { row_ = row; }
  bool IsNull(int column) const override { return pq_.getisnull(result_, row_, column) != 0; }
  std::int64_t Int(int column) const override {
    return std::strtoll(pq_.getvalue(result_, row_, column), nullptr, 10);
  }
  double Double(int column) const override {
    return std::strtod(pq_.getvalue(result_, row_, column), nullptr);
  }
  std::string Text(int column) const override {
    return std::string(pq_.getvalue(result_, row_, column),
                       static_cast<std::size_t>(pq_.getlength(result_, row_, column)));
  }

 private:
  const PGresult* result_;
  const LibpqFunctions& pq_;
  int row_ = 0;
};

struct ResultDeleter {
  decltype(&::PQclear) clear;
  void operator()(PGresult* result) const { clear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// Text form of a parameter; doubles in their shortest exact form.
std::optional<std::string> ParamText(const SqlValue& value) {
  return std::visit(
      [](const auto& v) -> std::optional<std::string> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return std::to_string(v);
        } else if constexpr (std::is_same_v<T, double>) {
          char buffer[32];
          const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
          return std::string(buffer, end);
        } else {
          return v;
        }
      },
      value);
}

class PostgresDatabase : public Database {
 public:
  explicit PostgresDatabase(const std::string& connection) : pq_(Libpq()) {
    // Later keywords win: the connection string may set its own timeout.
    const std::string timeout = std::to_string(kPostgresConnectTimeoutS);
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {timeout.c_str(), connection.c_str(), nullptr};
    connection_ = pq_.connectdb_params(keywords, values, 1);
    if (connection_ == nullptr) throw StoreError("PostgreSQL: out of memory");
    if (pq_.status(connection_) != CONNECTION_OK) {
      const std::string reason = Trimmed(pq_.error_message(connection_));
      pq_.finish(connection_);
      throw StoreError("PostgreSQL: " + reason);
    }
    // Notices ("relation already exists, skipping") are not for the operator.
    pq_.set_notice_processor(connection_, [](void*, const char*) {}, nullptr);
    ExecuteScript("SET TimeZone = 'UTC'");
  }
  ~PostgresDatabase() override { pq_.finish(connection_); }

  Engine engine() const override { return Engine::Postgres; }

  void ExecuteScript(const std::string& sql) override {
    Check(Result(pq_.exec(connection_, sql.c_str()), ResultDeleter{pq_.clear}));
  }

  void Query(const std::string& sql, const std::vector<SqlValue>& params,
             const std::function<void(const SqlRow&)>& row) override {
    std::vector<std::optional<std::string>> texts;
    texts.reserve(params.size());
    for (const auto& param : params) texts.push_back(ParamText(param));
    std::vector<const char*> pointers;
    pointers.reserve(texts.size());
    for (const auto& text : texts) pointers.push_back(text ? text->c_str() : nullptr);
    Result result(pq_.exec_params(connection_, sql.c_str(), static_cast<int>(pointers.size()),
                               nullptr, pointers.data(), nullptr, nullptr, 0),
                  ResultDeleter{pq_.clear});
    Check(result);
    PostgresRow current(result.get(), pq_);
    for (int i = 0, rows = pq_.ntuples(result.get()); i < rows; ++i) {
      current.At(i);
      row(current);
    }
  }

 private:
  void Check(const Result& result) {
    const auto status = result ? pq_.result_status(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
    throw StoreError("PostgreSQL: " + Trimmed(pq_.error_message(connection_)));
  }

  const LibpqFunctions& pq_;
  PGconn* connection_ = nullptr;
};

}  // namespace

std::unique_ptr<Database> OpenPostgres(const std::string& connection) {
  return std::make_unique<PostgresDatabase>(connection);
}

}  // namespace multitone
