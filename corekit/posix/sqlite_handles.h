// RAII owners for SQLite connections, prepared statements and write transactions.
#pragma once
#include <sqlite3.h>

#include "platform/unique_handle.h"

namespace corekit::sqlite {

struct ConnectionTraits {
  using pointer = sqlite3*;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer db) noexcept { sqlite3_close_v2(db); }
};
struct StatementTraits {
  using pointer = sqlite3_stmt*;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer stmt) noexcept { sqlite3_finalize(stmt); }
};

using UniqueConnection = nv::UniqueHandle<ConnectionTraits>;
using UniqueStatement = nv::UniqueHandle<StatementTraits>;

// Resets a cached statement when the use ends, so no read snapshot stays open.
class StatementUse {
 public:
  explicit StatementUse(sqlite3_stmt* stmt) noexcept : stmt_(stmt) {}
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;
  ~StatementUse() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  sqlite3_stmt* get() const noexcept { return stmt_; }

 private:
  sqlite3_stmt* stmt_;
};

// BEGIN IMMEDIATE ... COMMIT.  Every other way out (an error code, an exception) rolls back,
// so the connection never stays in a write transaction holding the store's lock.
class WriteTransaction {
 public:
  explicit WriteTransaction(sqlite3* db) noexcept : db_(db) {}
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  ~WriteTransaction() {
    if (db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  // SQLite result codes; on failure the extended code is sqlite3_extended_errcode(db).
  [[nodiscard]] int Begin() noexcept { return Exec("BEGIN IMMEDIATE"); }
  [[nodiscard]] int Commit() noexcept {
    const int rc = Exec("COMMIT");
    if (rc == SQLITE_OK) db_ = nullptr;
    return rc;
  }

 private:
  int Exec(const char* sql) noexcept { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
  sqlite3* db_;
};

}  // namespace corekit::sqlite
