// Small helpers over SQLite's C interface, for the logbook's reader and writer: a prepared
// statement that is finalized when it goes, a query of one value, names in double quotes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex {

class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { reset(); }

  bool prepare(sqlite3* db, const std::string& sql) {
    reset();
    return sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) == SQLITE_OK;
  }
  void reset() {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
  sqlite3_stmt* get() const { return stmt_; }
  // Runs it once and makes it ready to run again: SQLITE_DONE, or an error.
  int run() {
    const int stepped = sqlite3_step(stmt_);
    sqlite3_reset(stmt_);
    return stepped;
  }
  void text(int i, std::string_view value) {
    sqlite3_bind_text(stmt_, i, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  }
  void integer(int i, std::int64_t value) { sqlite3_bind_int64(stmt_, i, value); }
  void real(int i, double value) { sqlite3_bind_double(stmt_, i, value); }
  void null(int i) { sqlite3_bind_null(stmt_, i); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// The text of a query's first value; false when it fails or gives no row.
inline bool query_text(sqlite3* db, const std::string& sql, std::string& text) {
  Statement query;
  if (!query.prepare(db, sql) || sqlite3_step(query.get()) != SQLITE_ROW) return false;
  const unsigned char* value = sqlite3_column_text(query.get(), 0);
  text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
  return true;
}

// A name in double quotes, for SQL (a double quote in it doubled).
inline std::string sql_name(std::string_view name) {
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? "\"\"" : std::string(1, c);
  return quoted + "\"";
}

// A text in single quotes, for SQL (a single quote in it doubled).
inline std::string sql_text(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? "''" : std::string(1, c);
  return quoted + "'";
}

}  // namespace korvex
