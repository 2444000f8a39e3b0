#include "store/postgres_database.h"

#include <poll.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "store/libpq_library.h"

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
  explicit PostgresRow(const PGresult* result) : result_(result) {}
  void At(int row) { row_ = row; }
  bool IsNull(int column) const override { return Libpq().PQgetisnull(result_, row_, column) != 0; }
  std::int64_t Int(int column) const override {
    return std::strtoll(Libpq().PQgetvalue(result_, row_, column), nullptr, 10);
  }
  double Double(int column) const override {
    return std::strtod(Libpq().PQgetvalue(result_, row_, column), nullptr);
  }
  std::string Text(int column) const override {
    return std::string(Libpq().PQgetvalue(result_, row_, column),
                       static_cast<std::size_t>(Libpq().PQgetlength(result_, row_, column)));
  }

 private:
  const PGresult* result_;
  int row_ = 0;
};

struct ResultDeleter {
  void operator()(PGresult* result) const { Libpq().PQclear(result); }
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
  explicit PostgresDatabase(const std::string& connection) {
    // Later keywords win: the connection string may set its own timeout.
    const std::string timeout = std::to_string(kPostgresConnectTimeoutS);
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {timeout.c_str(), connection.c_str(), nullptr};
    connection_ = Libpq().PQconnectdbParams(keywords, values, 1);
    if (connection_ == nullptr) throw StoreError("PostgreSQL: out of memory");
    if (Libpq().PQstatus(connection_) != CONNECTION_OK) {
      const std::string reason = Trimmed(Libpq().PQerrorMessage(connection_));
      Libpq().PQfinish(connection_);
      throw StoreError("PostgreSQL: " + reason);
    }
    // Notices ("relation already exists, skipping") are not for the operator.
    Libpq().PQsetNoticeProcessor(connection_, [](void*, const char*) {}, nullptr);
    ExecuteScript("SET TimeZone = 'UTC'");
  }
  ~PostgresDatabase() override { Libpq().PQfinish(connection_); }

  Engine engine() const override { return Engine::Postgres; }

  void ExecuteScript(const std::string& sql) override {
    Usable();
    Check(Answer(Libpq().PQsendQuery(connection_, sql.c_str())));
  }

  void Query(const std::string& sql, const std::vector<SqlValue>& params,
             const std::function<void(const SqlRow&)>& row) override {
    std::vector<std::optional<std::string>> texts;
    texts.reserve(params.size());
    for (const auto& param : params) texts.push_back(ParamText(param));
    std::vector<const char*> pointers;
    pointers.reserve(texts.size());
    for (const auto& text : texts) pointers.push_back(text ? text->c_str() : nullptr);
    Usable();
    const Result result = Answer(Libpq().PQsendQueryParams(connection_, sql.c_str(),
                                                   static_cast<int>(pointers.size()), nullptr,
                                                   pointers.data(), nullptr, nullptr, 0));
    Check(result);
    PostgresRow current(result.get());
    for (int i = 0, rows = Libpq().PQntuples(result.get()); i < rows; ++i) {
      current.At(i);
      row(current);
    }
  }

 private:
  void Usable() const {
    if (connection_ == nullptr) throw StoreError("PostgreSQL: the connection was given up");
  }

  // The answer to the statement just sent: its first failed result, else its
  // last. A server that does not answer within the bound loses the
  // connection.
  Result Answer(int sent) {
    if (!sent) throw StoreError("PostgreSQL: " + Trimmed(Libpq().PQerrorMessage(connection_)));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPostgresStatementTimeoutS);
    int flushed;
    while ((flushed = Libpq().PQflush(connection_)) == 1) Await(POLLIN | POLLOUT, deadline);
    if (flushed < 0) throw StoreError("PostgreSQL: " + Trimmed(Libpq().PQerrorMessage(connection_)));
    Result answer;
    for (;;) {
      while (Libpq().PQisBusy(connection_)) Await(POLLIN, deadline);
      Result next(Libpq().PQgetResult(connection_));
      if (!next) break;
      if (!answer || Succeeded(answer)) answer = std::move(next);
    }
    return answer;
  }

  static bool Succeeded(const Result& result) {
    const auto status = result ? Libpq().PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
  }

  // Waits for the socket, then reads what came.
  void Await(short events, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd socket{Libpq().PQsocket(connection_), events, 0};
    if (left.count() <= 0 || ::poll(&socket, 1, static_cast<int>(left.count())) == 0) {
      Libpq().PQfinish(connection_);
      connection_ = nullptr;
      throw StoreError("PostgreSQL: no answer within " + std::to_string(kPostgresStatementTimeoutS) +
                       " s; connection given up");
    }
    if (!Libpq().PQconsumeInput(connection_)) throw StoreError("PostgreSQL: " + Trimmed(Libpq().PQerrorMessage(connection_)));
  }

  void Check(const Result& result) {
    if (Succeeded(result)) return;
    const char* message = result ? Libpq().PQresultErrorMessage(result.get()) : "";
    throw StoreError("PostgreSQL: " + Trimmed(*message ? message : Libpq().PQerrorMessage(connection_)));
  }

  PGconn* connection_ = nullptr;
};

}  // namespace

std::unique_ptr<Database> OpenPostgres(const std::string& connection) {
  return std::make_unique<PostgresDatabase>(connection);
}

}  // namespace multitone
