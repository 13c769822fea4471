#include "sqlite_registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "corekit/registry_store_path.h"
#include "corekit/win32_error_codes.h"
#include "name_fold.h"
#include "platform/text.h"
#include "registry_buffers.h"

namespace corekit {
namespace err = win32_error;

namespace {

// 1: names folded in ASCII only; 2: Unicode simple upper-casing (name_fold.h).
constexpr int kSchemaVersion = 2;
constexpr const char* kUtf16Order = "NV_UTF16_ORDER";
constexpr size_t kMaxValueNameChars = 16383;

// Win32 access bits the store checks.
constexpr uint32_t kQueryValue = 0x0001;
constexpr uint32_t kSetValue = 0x0002;
constexpr uint32_t kCreateSubKey = 0x0004;
constexpr uint32_t kEnumerateSubKeys = 0x0008;
constexpr uint32_t kAllAccess = 0xF003F;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;

struct Root {
  RegKey handle;
  const char* name;
};
// HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA have no keys of their own here.
const Root kRoots[] = {
    {kHKeyClassesRoot, "HKEY_CLASSES_ROOT"},     {kHKeyCurrentUser, "HKEY_CURRENT_USER"},
    {kHKeyLocalMachine, "HKEY_LOCAL_MACHINE"},   {kHKeyUsers, "HKEY_USERS"},
    {kHKeyCurrentConfig, "HKEY_CURRENT_CONFIG"},
};

uintptr_t HandleValue(RegKey key) { return reinterpret_cast<uintptr_t>(key); }

bool IsPredefined(RegKey key) {
  const uintptr_t v = HandleValue(key);
  return v >= PredefinedKeyValue(0x80000000u) && v <= PredefinedKeyValue(0x80000006u);
}

// Generic rights as Windows maps them for keys.
uint32_t MapAccess(uint32_t access) {
  uint32_t mapped = access & 0x00FFFFFFu;
  if (access & 0x10000000u) mapped |= kAllAccess;  // GENERIC_ALL
  if (access & 0x02000000u) mapped |= kAllAccess;  // MAXIMUM_ALLOWED
  if (access & 0x80000000u) mapped |= kKeyRead;    // GENERIC_READ
  if (access & 0x40000000u) mapped |= kKeyWrite;   // GENERIC_WRITE
  return mapped;
}

uint64_t FileTimeNow() {
  using namespace std::chrono;
  const auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<uint64_t>(since1970 / 100) + 116444736000000000ull;
}

std::string Fold(const std::string& name) { return FoldName(name); }

int CompareFolded(void*, int aLen, const void* a, int bLen, const void* b) {
  return CompareInUtf16Order(std::string_view(static_cast<const char*>(a), static_cast<size_t>(aLen)),
                             std::string_view(static_cast<const char*>(b), static_cast<size_t>(bLen)));
}

// Splits a subkey path at backslashes.  A leading backslash makes a malformed path; repeated
// and trailing ones are ignored, as the registry does.
int32_t SplitPath(const char* path, std::vector<std::string>& parts) {
  parts.clear();
  if (!path || !*path) return 0;
  if (*path == '\\') return err::kBadPathName;
  const std::string whole(path);
  size_t start = 0;
  while (start < whole.size()) {
    size_t slash = whole.find('\\', start);
    if (slash == std::string::npos) slash = whole.size();
    if (slash > start) {
      std::string part = whole.substr(start, slash - start);
      // Windows limits a key name to 255 characters.
      if (nv::text::Utf8ToUtf16(part).size() > 255) return err::kInvalidParameter;
      parts.push_back(std::move(part));
    }
    start = slash + 1;
  }
  return 0;
}

std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column))) : std::string();
}

int32_t MakeFolders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1)) {
    const std::string dir = file.substr(0, slash);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return err::kRegistryIoFailed;
  }
  return 0;
}

}  // namespace

SqliteRegistry::SqliteRegistry(std::string path, RegistryStoreOptions options) noexcept
    : path_(std::move(path)), options_(std::move(options)) {}

SqliteRegistry::~SqliteRegistry() {
  statements_.clear();
  if (owner_ != ::getpid()) db_.release();  // inherited across fork(): the parent's to close
}

int32_t SqliteRegistry::Fail(int rc) const {
  switch (rc & 0xFF) {
    case SQLITE_NOMEM:
      return err::kNotEnoughMemory;
    case SQLITE_FULL:
      return err::kDiskFull;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return err::kRegistryCorrupt;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return err::kAccessDenied;
    case SQLITE_BUSY:  // another process kept the write lock past our wait
    case SQLITE_LOCKED:
      return err::kBusy;
    default:
      return err::kRegistryIoFailed;
  }
}

sqlite3_stmt* SqliteRegistry::Statement(const char* sql) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) return it->second.get();
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  statements_.emplace(sql, sqlite::UniqueStatement(stmt));
  return stmt;
}

int32_t SqliteRegistry::Exec(const char* sql) {
  const int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? 0 : Fail(sqlite3_extended_errcode(db_.get()));
}

template <typename F>
int32_t SqliteRegistry::WriteTransaction(F&& body) {
  sqlite::WriteTransaction transaction(db_.get());
  if (transaction.Begin() != SQLITE_OK) return Fail(sqlite3_extended_errcode(db_.get()));
  if (options_.insideWrite) options_.insideWrite();
  if (int32_t code = body(); code != 0) return code;
  if (transaction.Commit() != SQLITE_OK) return Fail(sqlite3_extended_errcode(db_.get()));
  return 0;
}

int32_t SqliteRegistry::EnsureOpen() {
  if (db_ && owner_ == ::getpid()) return 0;
  if (db_) {
    // Inherited from the parent process: leave its connection alone and open our own.
    statements_.clear();
    db_.release();
  }
  roots_.clear();
  handles_.clear();
  const std::string path = path_.empty() ? RegistryStorePath() : path_;
  if (path.empty()) return err::kRegistryIoFailed;
  if (int32_t code = MakeFolders(path); code != 0) return code;

  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite::UniqueConnection db(raw);
  if (rc != SQLITE_OK) return Fail(rc);
  sqlite3_busy_timeout(db.get(), static_cast<int>(options_.lockWait.count()));
  if (sqlite3_create_collation_v2(db.get(), kUtf16Order, SQLITE_UTF8, nullptr, CompareFolded, nullptr) !=
      SQLITE_OK) {
    return Fail(sqlite3_extended_errcode(db.get()));
  }
  db_ = std::move(db);
  owner_ = ::getpid();

  // FULL: every commit is synced to disk before it counts, so a saved setting survives a power
  // loss.  The store is small and written rarely; the sync costs nothing that matters.
  int32_t code = Exec("PRAGMA journal_mode=WAL");
  if (code == 0) code = Exec("PRAGMA synchronous=FULL");
  if (code == 0) code = CreateSchema();
  if (code != 0) {
    statements_.clear();
    db_.reset();
  }
  return code;
}

int32_t SqliteRegistry::CreateSchema() {
  int32_t code = WriteTransaction([&]() -> int32_t {
    sqlite3_stmt* version = Statement("PRAGMA user_version");
    if (!version) return Fail(sqlite3_extended_errcode(db_.get()));
    int current = 0;
    {
      sqlite::StatementUse use(version);
      if (sqlite3_step(version) == SQLITE_ROW) current = sqlite3_column_int(version, 0);
    }
    if (current > kSchemaVersion) return err::kRegistryCorrupt;  // written by a newer program
    if (current == kSchemaVersion) return 0;
    if (current == 1) {
      if (int32_t c = RefoldNames(); c != 0) return c;
      return Exec("PRAGMA user_version=2");
    }
    int32_t c = Exec(
        "CREATE TABLE IF NOT EXISTS keys("
        " id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL,"
        " fold TEXT NOT NULL, class TEXT NOT NULL DEFAULT '', last_write INTEGER NOT NULL DEFAULT 0,"
        " UNIQUE(parent, fold));"
        "CREATE TABLE IF NOT EXISTS vals("
        " id INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL, name TEXT NOT NULL,"
        " fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold));"
        "CREATE INDEX IF NOT EXISTS vals_in_order ON vals(key, id);");
    if (c != 0) return c;
    for (const Root& root : kRoots) {
      sqlite3_stmt* insert = Statement("INSERT OR IGNORE INTO keys(parent, name, fold) VALUES(0, ?1, ?1)");
      if (!insert) return Fail(sqlite3_extended_errcode(db_.get()));
      sqlite::StatementUse use(insert);
      sqlite3_bind_text(insert, 1, root.name, -1, SQLITE_STATIC);
      if (sqlite3_step(insert) != SQLITE_DONE) return Fail(sqlite3_extended_errcode(db_.get()));
    }
    return Exec("PRAGMA user_version=2");
  });
  if (code != 0) return code;

  for (const Root& root : kRoots) {
    sqlite3_stmt* find = Statement("SELECT id FROM keys WHERE parent = 0 AND fold = ?1");
    if (!find) return Fail(sqlite3_extended_errcode(db_.get()));
    sqlite::StatementUse use(find);
    sqlite3_bind_text(find, 1, root.name, -1, SQLITE_STATIC);
    if (sqlite3_step(find) != SQLITE_ROW) return err::kRegistryCorrupt;
    roots_[HandleValue(root.handle)] = sqlite3_column_int64(find, 0);
  }
  return 0;
}

int32_t SqliteRegistry::RefoldNames() {
  for (const char* table : {"keys", "vals"}) {
    const std::string selectSql = std::string("SELECT id, name FROM ") + table;
    // Two names that only non-ASCII case told apart now fold alike: the later one keeps its old
    // fold (OR IGNORE), so it stays listed and nothing is lost.
    const std::string updateSql = std::string("UPDATE OR IGNORE ") + table + " SET fold = ?2 WHERE id = ?1";
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), selectSql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
      sqlite3_finalize(raw);
      return Fail(sqlite3_extended_errcode(db_.get()));
    }
    sqlite::UniqueStatement select(raw);
    raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), updateSql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
      sqlite3_finalize(raw);
      return Fail(sqlite3_extended_errcode(db_.get()));
    }
    sqlite::UniqueStatement update(raw);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
      const std::string fold = Fold(ColumnText(select.get(), 1));
      sqlite::StatementUse use(update.get());
      sqlite3_bind_int64(update.get(), 1, sqlite3_column_int64(select.get(), 0));
      sqlite3_bind_text(update.get(), 2, fold.c_str(), static_cast<int>(fold.size()), SQLITE_STATIC);
      if (sqlite3_step(update.get()) != SQLITE_DONE) return Fail(sqlite3_extended_errcode(db_.get()));
    }
    if (rc != SQLITE_DONE) return Fail(sqlite3_extended_errcode(db_.get()));
  }
  return 0;
}

int32_t SqliteRegistry::Resolve(RegKey handle, uint32_t need, int64_t& key) {
  if (!handle) return err::kInvalidHandle;
  if (IsPredefined(handle)) {
    auto it = roots_.find(HandleValue(handle));
    if (it == roots_.end()) return err::kInvalidHandle;
    key = it->second;
    return 0;
  }
  auto it = handles_.find(HandleValue(handle));
  if (it == handles_.end()) return err::kInvalidHandle;
  if ((it->second.access & need) != need) return err::kAccessDenied;
  sqlite3_stmt* exists = Statement("SELECT 1 FROM keys WHERE id = ?1");
  if (!exists) return Fail(sqlite3_extended_errcode(db_.get()));
  sqlite::StatementUse use(exists);
  sqlite3_bind_int64(exists, 1, it->second.key);
  const int rc = sqlite3_step(exists);
  if (rc == SQLITE_DONE) return err::kKeyDeleted;
  if (rc != SQLITE_ROW) return Fail(rc);
  key = it->second.key;
  return 0;
}

int32_t SqliteRegistry::FindChild(int64_t parent, const std::string& name, int64_t& child) {
  sqlite3_stmt* find = Statement("SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
  if (!find) return Fail(sqlite3_extended_errcode(db_.get()));
  sqlite::StatementUse use(find);
  const std::string fold = Fold(name);
  sqlite3_bind_int64(find, 1, parent);
  sqlite3_bind_text(find, 2, fold.c_str(), static_cast<int>(fold.size()), SQLITE_STATIC);
  const int rc = sqlite3_step(find);
  if (rc == SQLITE_DONE) return err::kFileNotFound;
  if (rc != SQLITE_ROW) return Fail(rc);
  child = sqlite3_column_int64(find, 0);
  return 0;
}

int32_t SqliteRegistry::Walk(int64_t key, const char* path, int64_t& result) {
  std::vector<std::string> parts;
  if (int32_t code = SplitPath(path, parts); code != 0) return code;
  for (const auto& part : parts) {
    if (int32_t code = FindChild(key, part, key); code != 0) return code;
  }
  result = key;
  return 0;
}

int32_t SqliteRegistry::Touch(int64_t key) {
  sqlite3_stmt* touch = Statement("UPDATE keys SET last_write = ?2 WHERE id = ?1");
  if (!touch) return Fail(sqlite3_extended_errcode(db_.get()));
  sqlite::StatementUse use(touch);
  sqlite3_bind_int64(touch, 1, key);
  sqlite3_bind_int64(touch, 2, static_cast<int64_t>(FileTimeNow()));
  return sqlite3_step(touch) == SQLITE_DONE ? 0 : Fail(sqlite3_extended_errcode(db_.get()));
}

RegKey SqliteRegistry::NewHandle(int64_t key, uint32_t access) {
  const uintptr_t value = nextHandle_;
  nextHandle_ += 4;
  handles_[value] = OpenHandle{key, MapAccess(access)};
  return reinterpret_cast<RegKey>(value);
}

template <typename F>
int32_t SqliteRegistry::Locked(F&& body) noexcept {
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    if (int32_t code = EnsureOpen(); code != 0) return code;
    return body();
  } catch (const std::bad_alloc&) {
    return err::kNotEnoughMemory;
  } catch (...) {
    return err::kInternalError;
  }
}

int32_t SqliteRegistry::RowAt(sqlite3_stmt* select, int64_t key, uint32_t index) {
  if (!select) return Fail(sqlite3_extended_errcode(db_.get()));
  sqlite3_bind_int64(select, 1, key);
  sqlite3_bind_int64(select, 2, index);
  const int rc = sqlite3_step(select);
  if (rc == SQLITE_DONE) return err::kNoMoreItems;
  return rc == SQLITE_ROW ? 0 : Fail(rc);
}

// ---- keys ----

int32_t SqliteRegistry::OpenKey(RegKey parent, const char* path, uint32_t access, RegKey* result) noexcept {
  if (!result) return err::kInvalidParameter;
  return Locked([&]() -> int32_t {
    int64_t base = 0;
    if (int32_t code = Resolve(parent, 0, base); code != 0) return code;
    if ((!path || !*path) && IsPredefined(parent)) {
      *result = parent;  // as Windows: the predefined handle itself
      return 0;
    }
    int64_t key = 0;
    if (int32_t code = Walk(base, path, key); code != 0) return code;
    *result = NewHandle(key, access);
    return 0;
  });
}

int32_t SqliteRegistry::CreateKey(RegKey parent, const char* path, const char* cls, uint32_t /*options*/,
                                  uint32_t access, void* /*security*/, RegKey* result,
                                  uint32_t* disposition) noexcept {
  if (!result || !path) return err::kInvalidParameter;
  return Locked([&]() -> int32_t {
    std::vector<std::string> parts;
    if (int32_t code = SplitPath(path, parts); code != 0) return code;
    int64_t key = 0;
    bool created = false;
    const int32_t code = WriteTransaction([&]() -> int32_t {
      if (int32_t c = Resolve(parent, 0, key); c != 0) return c;
      for (size_t i = 0; i < parts.size(); ++i) {
        int64_t child = 0;
        const int32_t found = FindChild(key, parts[i], child);
        if (found == 0) {
          key = child;
          continue;
        }
        if (found != err::kFileNotFound) return found;
        if (!IsPredefined(parent) && (handles_[HandleValue(parent)].access & kCreateSubKey) == 0) {
          return err::kAccessDenied;
        }
        sqlite3_stmt* insert =
            Statement("INSERT INTO keys(parent, name, fold, class, last_write) VALUES(?1, ?2, ?3, ?4, ?5)");
        if (!insert) return Fail(sqlite3_extended_errcode(db_.get()));
        sqlite::StatementUse use(insert);
        const std::string fold = Fold(parts[i]);
        const bool last = i + 1 == parts.size();
        sqlite3_bind_int64(insert, 1, key);
        sqlite3_bind_text(insert, 2, parts[i].c_str(), static_cast<int>(parts[i].size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, fold.c_str(), static_cast<int>(fold.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, last && cls ? cls : "", -1, SQLITE_STATIC);
        sqlite3_bind_int64(insert, 5, static_cast<int64_t>(FileTimeNow()));
        if (sqlite3_step(insert) != SQLITE_DONE) return Fail(sqlite3_extended_errcode(db_.get()));
        if (int32_t c = Touch(key); c != 0) return c;
        key = sqlite3_last_insert_rowid(db_.get());
        created = last;
      }
      return 0;
    });
    if (code != 0) return code;
    *result = parts.empty() && IsPredefined(parent) ? parent : NewHandle(key, access);
    if (disposition) *disposition = created ? 1u : 2u;
    return 0;
  });
}

int32_t SqliteRegistry::CloseKey(RegKey key) noexcept {
  if (!key) return err::kInvalidHandle;
  if (IsPredefined(key)) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  return handles_.erase(HandleValue(key)) ? 0 : err::kInvalidHandle;
}

int32_t SqliteRegistry::ConnectRegistry(const char* machine, RegKey root, RegKey* result) noexcept {
  if (!result) return err::kInvalidParameter;
  try {
    if (machine && *machine) {
      // Only this machine is reachable: by its own name, with or without leading backslashes.
      std::string wanted(machine);
      while (!wanted.empty() && wanted.front() == '\\') wanted.erase(0, 1);
      std::string self;
      if (LocalComputerName(self) != 0 || !nv::text::EqualsNoCase(wanted, self)) return err::kBadNetPath;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (int32_t code = EnsureOpen(); code != 0) return code;
    if (!IsPredefined(root) || roots_.count(HandleValue(root)) == 0) return err::kInvalidHandle;
    *result = root;
    return 0;
  } catch (...) {
    return err::kNotEnoughMemory;
  }
}

int32_t SqliteRegistry::DeleteKey(RegKey parent, const char* path) noexcept {
  if (!path || !*path) return err::kInvalidParameter;
  return Locked([&]() -> int32_t {
    return WriteTransaction([&]() -> int32_t {
      int64_t base = 0;
      if (int32_t c = Resolve(parent, 0, base); c != 0) return c;
      int64_t key = 0;
      if (int32_t c = Walk(base, path, key); c != 0) return c;
      sqlite3_stmt* info = Statement(
          "SELECT parent, (SELECT count(*) FROM keys AS k WHERE k.parent = keys.id) FROM keys WHERE id = ?1");
      if (!info) return Fail(sqlite3_extended_errcode(db_.get()));
      int64_t owner = 0;
      {
        sqlite::StatementUse use(info);
        sqlite3_bind_int64(info, 1, key);
        if (sqlite3_step(info) != SQLITE_ROW) return Fail(sqlite3_extended_errcode(db_.get()));
        owner = sqlite3_column_int64(info, 0);
        // Windows deletes only keys without subkeys.
        if (sqlite3_column_int64(info, 1) != 0) return err::kAccessDenied;
      }
      for (const char* sql : {"DELETE FROM vals WHERE key = ?1", "DELETE FROM keys WHERE id = ?1"}) {
        sqlite3_stmt* del = Statement(sql);
        if (!del) return Fail(sqlite3_extended_errcode(db_.get()));
        sqlite::StatementUse use(del);
        sqlite3_bind_int64(del, 1, key);
        if (sqlite3_step(del) != SQLITE_DONE) return Fail(sqlite3_extended_errcode(db_.get()));
      }
      return Touch(owner);
    });
  });
}

int32_t SqliteRegistry::EnumKey(RegKey handle, uint32_t index, char* name, uint32_t* nameLen, char* cls,
                                uint32_t* classLen, uint64_t* lastWrite) noexcept {
  if (!name || !nameLen) return err::kInvalidParameter;
  return Locked([&]() -> int32_t {
    int64_t key = 0;
    if (int32_t code = Resolve(handle, kEnumerateSubKeys, key); code != 0) return code;
    sqlite3_stmt* select = Statement(
        "SELECT name, class, last_write FROM keys WHERE parent = ?1 ORDER BY fold COLLATE NV_UTF16_ORDER"
        " LIMIT 1 OFFSET ?2");
    sqlite::StatementUse use(select);
    if (int32_t code = RowAt(select, key, index); code != 0) return code;
    if (int32_t code = CopyNameOut(ColumnText(select, 0), name, nameLen); code != 0) return code;
    if (cls) {
      if (int32_t code = CopyNameOut(ColumnText(select, 1), cls, classLen); code != 0) return code;
    }
    if (lastWrite) *lastWrite = static_cast<uint64_t>(sqlite3_column_int64(select, 2));
    return 0;
  });
}

int32_t SqliteRegistry::QueryInfoKey(RegKey handle, char* cls, uint32_t* classLen,
                                     RegKeyInfo* info) noexcept {
  return Locked([&]() -> int32_t {
    int64_t key = 0;
    if (int32_t code = Resolve(handle, kQueryValue, key); code != 0) return code;
    sqlite3_stmt* self = Statement("SELECT class, last_write FROM keys WHERE id = ?1");
    sqlite3_stmt* subkeys = Statement(
        "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0),"
        " coalesce(max(length(CAST(class AS BLOB))), 0) FROM keys WHERE parent = ?1");
    sqlite3_stmt* values = Statement(
        "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0), coalesce(max(length(data)), 0)"
        " FROM vals WHERE key = ?1");
    if (!self || !subkeys || !values) return Fail(sqlite3_extended_errcode(db_.get()));
    sqlite::StatementUse useSelf(self), useSubkeys(subkeys), useValues(values);
    for (sqlite3_stmt* stmt : {self, subkeys, values}) {
      sqlite3_bind_int64(stmt, 1, key);
      if (sqlite3_step(stmt) != SQLITE_ROW) return Fail(sqlite3_extended_errcode(db_.get()));
    }
    if (cls) {
      if (int32_t code = CopyNameOut(ColumnText(self, 0), cls, classLen); code != 0) return code;
    }
    if (info) {
      info->lastWriteTime = static_cast<uint64_t>(sqlite3_column_int64(self, 1));
      info->subKeys = static_cast<uint32_t>(sqlite3_column_int64(subkeys, 0));
      info->maxSubKeyLen = static_cast<uint32_t>(sqlite3_column_int64(subkeys, 1));
      info->maxClassLen = static_cast<uint32_t>(sqlite3_column_int64(subkeys, 2));
      info->values = static_cast<uint32_t>(sqlite3_column_int64(values, 0));
      info->maxValueNameLen = static_cast<uint32_t>(sqlite3_column_int64(values, 1));
      info->maxValueLen = static_cast<uint32_t>(sqlite3_column_int64(values, 2));
      info->securityDescriptorLen = 0;
    }
    return 0;
  });
}

int32_t SqliteRegistry::FlushKey(RegKey handle) noexcept {
  return Locked([&]() -> int32_t {
    int64_t key = 0;
    if (int32_t code = Resolve(handle, 0, key); code != 0) return code;
    // Every commit is already synced; a checkpoint also moves it from the log into the file.
    return sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) ==
                   SQLITE_OK
               ? 0
               : Fail(sqlite3_extended_errcode(db_.get()));
  });
}

// ---- values ----

int32_t SqliteRegistry::QueryValue(RegKey handle, const char* name, uint32_t* type, uint8_t* data,
                                   uint32_t* size) noexcept {
  if (data && !size) return err::kInvalidParameter;
  return Locked([&]() -> int32_t {
    int64_t key = 0;
    if (int32_t code = Resolve(handle, kQueryValue, key); code != 0) return code;
    sqlite3_stmt* select = Statement("SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
    if (!select) return Fail(sqlite3_extended_errcode(db_.get()));
    sqlite::StatementUse use(select);
    const std::string fold = Fold(name ? name : "");
    sqlite3_bind_int64(select, 1, key);
    sqlite3_bind_text(select, 2, fold.c_str(), static_cast<int>(fold.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(select);
    if (rc == SQLITE_DONE) return err::kFileNotFound;
    if (rc != SQLITE_ROW) return Fail(rc);
    if (type) *type = static_cast<uint32_t>(sqlite3_column_int64(select, 0));
    const void* blob = sqlite3_column_blob(select, 1);
    return CopyDataOut(blob, static_cast<uint32_t>(sqlite3_column_bytes(select, 1)), data, size);
  });
}

int32_t SqliteRegistry::SetValue(RegKey handle, const char* name, uint32_t type, const uint8_t* data,
                                 uint32_t size) noexcept {
  if (!data && size != 0) return err::kInvalidParameter;
  if (size > static_cast<uint32_t>(INT32_MAX)) return err::kInvalidParameter;
  return Locked([&]() -> int32_t {
    return WriteTransaction([&]() -> int32_t {
      int64_t key = 0;
      if (int32_t c = Resolve(handle, kSetValue, key); c != 0) return c;
      // Overwriting keeps the value's place in the enumeration order, as on Windows.
      sqlite3_stmt* upsert = Statement(
          "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
          " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
      if (!upsert) return Fail(sqlite3_extended_errcode(db_.get()));
      sqlite::StatementUse use(upsert);
      const std::string valueName = name ? name : "";
      if (nv::text::Utf8ToUtf16(valueName).size() > kMaxValueNameChars) return err::kInvalidParameter;
      const std::string fold = Fold(valueName);
      static const uint8_t kEmpty = 0;
      sqlite3_bind_int64(upsert, 1, key);
      sqlite3_bind_text(upsert, 2, valueName.c_str(), static_cast<int>(valueName.size()), SQLITE_STATIC);
      sqlite3_bind_text(upsert, 3, fold.c_str(), static_cast<int>(fold.size()), SQLITE_STATIC);
      sqlite3_bind_int64(upsert, 4, type);
      sqlite3_bind_blob(upsert, 5, size ? data : &kEmpty, static_cast<int>(size), SQLITE_STATIC);
      if (sqlite3_step(upsert) != SQLITE_DONE) return Fail(sqlite3_extended_errcode(db_.get()));
      return Touch(key);
    });
  });
}

int32_t SqliteRegistry::DeleteValue(RegKey handle, const char* name) noexcept {
  return Locked([&]() -> int32_t {
    return WriteTransaction([&]() -> int32_t {
      int64_t key = 0;
      if (int32_t c = Resolve(handle, kSetValue, key); c != 0) return c;
      sqlite3_stmt* del = Statement("DELETE FROM vals WHERE key = ?1 AND fold = ?2");
      if (!del) return Fail(sqlite3_extended_errcode(db_.get()));
      sqlite::StatementUse use(del);
      const std::string fold = Fold(name ? name : "");
      sqlite3_bind_int64(del, 1, key);
      sqlite3_bind_text(del, 2, fold.c_str(), static_cast<int>(fold.size()), SQLITE_STATIC);
      if (sqlite3_step(del) != SQLITE_DONE) return Fail(sqlite3_extended_errcode(db_.get()));
      if (sqlite3_changes(db_.get()) == 0) return err::kFileNotFound;
      return Touch(key);
    });
  });
}

int32_t SqliteRegistry::EnumValue(RegKey handle, uint32_t index, char* name, uint32_t* nameLen,
                                  uint32_t* type, uint8_t* data, uint32_t* size) noexcept {
  if (!name || !nameLen || (data && !size)) return err::kInvalidParameter;
  return Locked([&]() -> int32_t {
    int64_t key = 0;
    if (int32_t code = Resolve(handle, kQueryValue, key); code != 0) return code;
    sqlite3_stmt* select =
        Statement("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    sqlite::StatementUse use(select);
    if (int32_t code = RowAt(select, key, index); code != 0) return code;
    if (int32_t code = CopyNameOut(ColumnText(select, 0), name, nameLen); code != 0) return code;
    if (type) *type = static_cast<uint32_t>(sqlite3_column_int64(select, 1));
    const void* blob = sqlite3_column_blob(select, 2);
    return CopyDataOut(blob, static_cast<uint32_t>(sqlite3_column_bytes(select, 2)), data, size);
  });
}

// ---- hives, security, notification: not offered by this store ----

int32_t SqliteRegistry::LoadKey(RegKey, const char* subkey, const char* file) noexcept {
  return subkey && file ? err::kNotSupported : err::kInvalidParameter;
}
int32_t SqliteRegistry::UnLoadKey(RegKey, const char* subkey) noexcept {
  return subkey ? err::kNotSupported : err::kInvalidParameter;
}
int32_t SqliteRegistry::ReplaceKey(RegKey, const char* subkey, const char* newFile,
                                   const char* oldFile) noexcept {
  return subkey && newFile && oldFile ? err::kNotSupported : err::kInvalidParameter;
}
int32_t SqliteRegistry::SaveKey(RegKey, const char* file, void*) noexcept {
  return file ? err::kNotSupported : err::kInvalidParameter;
}
int32_t SqliteRegistry::RestoreKey(RegKey, const char* file, uint32_t) noexcept {
  return file ? err::kNotSupported : err::kInvalidParameter;
}
int32_t SqliteRegistry::GetKeySecurity(RegKey, uint32_t, void* descriptor, uint32_t* size) noexcept {
  return descriptor && size ? err::kNotSupported : err::kInvalidParameter;
}
int32_t SqliteRegistry::SetKeySecurity(RegKey, uint32_t, void* descriptor) noexcept {
  return descriptor ? err::kNotSupported : err::kInvalidParameter;
}
int32_t SqliteRegistry::NotifyChangeKeyValue(RegKey, bool, uint32_t, void* event, bool) noexcept {
  return event ? err::kNotSupported : err::kInvalidParameter;
}
int32_t SqliteRegistry::EnableRestorePrivilege() noexcept { return err::kNotSupported; }

int32_t SqliteRegistry::LocalComputerName(std::string& name) noexcept {
  char buffer[260] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return err::kNotSupported;
  try {
    name = buffer;
  } catch (...) {
    return err::kNotEnoughMemory;
  }
  return 0;
}

}  // namespace corekit
