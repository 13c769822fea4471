// RAII owners for SQLite connections and prepared statements.
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

}  // namespace corekit::sqlite
