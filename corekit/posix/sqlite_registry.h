// Our own registry store on an SQLite file: predefined roots, keys and values with names
// compared as the registry compares them (name_fold.h), subkeys listed in name order and values
// in creation order (as Windows lists them), Win32 error codes.  Every write is one durable
// transaction; a bounded wait for the write lock lets several processes share the file (170
// when it runs out).  Handles are per process.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "corekit/registry_api.h"
#include "corekit/registry_store_path.h"
#include "sqlite_handles.h"

namespace corekit {

class SqliteRegistry final : public RegistryApi {
 public:
  // An empty path means RegistryStorePath() at first use.
  explicit SqliteRegistry(std::string path, RegistryStoreOptions options = {}) noexcept;
  ~SqliteRegistry() override;

  int32_t OpenKey(RegKey parent, const char* path, uint32_t access, RegKey* result) noexcept override;
  int32_t CreateKey(RegKey parent, const char* path, const char* cls, uint32_t options, uint32_t access,
                    void* security, RegKey* result, uint32_t* disposition) noexcept override;
  int32_t CloseKey(RegKey key) noexcept override;
  int32_t ConnectRegistry(const char* machine, RegKey root, RegKey* result) noexcept override;
  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) noexcept override;
  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) noexcept override;
  int32_t DeleteValue(RegKey key, const char* name) noexcept override;
  int32_t DeleteKey(RegKey parent, const char* path) noexcept override;
  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLen, char* cls, uint32_t* classLen,
                  uint64_t* lastWrite) noexcept override;
  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLen, uint32_t* type, uint8_t* data,
                    uint32_t* size) noexcept override;
  int32_t QueryInfoKey(RegKey key, char* cls, uint32_t* classLen, RegKeyInfo* info) noexcept override;
  int32_t FlushKey(RegKey key) noexcept override;
  int32_t LoadKey(RegKey key, const char* subkey, const char* file) noexcept override;
  int32_t UnLoadKey(RegKey key, const char* subkey) noexcept override;
  int32_t ReplaceKey(RegKey key, const char* subkey, const char* newFile,
                     const char* oldFile) noexcept override;
  int32_t SaveKey(RegKey key, const char* file, void* security) noexcept override;
  int32_t RestoreKey(RegKey key, const char* file, uint32_t flags) noexcept override;
  int32_t GetKeySecurity(RegKey key, uint32_t what, void* descriptor, uint32_t* size) noexcept override;
  int32_t SetKeySecurity(RegKey key, uint32_t what, void* descriptor) noexcept override;
  int32_t NotifyChangeKeyValue(RegKey key, bool wholeSubtree, uint32_t filter, void* event,
                               bool asynchronous) noexcept override;
  int32_t EnableRestorePrivilege() noexcept override;
  int32_t LocalComputerName(std::string& name) noexcept override;

 private:
  struct OpenHandle {
    int64_t key;
    uint32_t access;
  };

  int32_t EnsureOpen();
  int32_t CreateSchema();
  // Recomputes the folded names of a store written with ASCII-only folding.
  int32_t RefoldNames();
  sqlite3_stmt* Statement(const char* sql);
  int32_t Exec(const char* sql);
  int32_t Fail(int rc) const;
  // Runs `body` under the lock with the store open; allocation failures become error 8.
  template <typename F>
  int32_t Locked(F&& body) noexcept;
  // Steps the `index`th row of an enumeration (?1 = key, ?2 = offset); 259 past the end.
  int32_t RowAt(sqlite3_stmt* select, int64_t key, uint32_t index);
  // Runs `body` inside BEGIN IMMEDIATE ... COMMIT; rolls back when it returns non-zero or throws.
  template <typename F>
  int32_t WriteTransaction(F&& body);

  // The key a handle stands for, checked for existence and for the access bits `need`.
  int32_t Resolve(RegKey handle, uint32_t need, int64_t& key);
  // Walks `path` below `key`; 2 when a component is missing, 161 for a malformed path.
  int32_t Walk(int64_t key, const char* path, int64_t& result);
  int32_t FindChild(int64_t parent, const std::string& name, int64_t& child);
  int32_t Touch(int64_t key);
  RegKey NewHandle(int64_t key, uint32_t access);

  std::mutex mutex_;
  std::string path_;
  RegistryStoreOptions options_;
  sqlite::UniqueConnection db_;
  pid_t owner_ = 0;  // a connection is not carried across fork()
  std::unordered_map<const char*, sqlite::UniqueStatement> statements_;
  std::unordered_map<uintptr_t, int64_t> roots_;
  std::unordered_map<uintptr_t, OpenHandle> handles_;
  uintptr_t nextHandle_ = 0x1000;
};

}  // namespace corekit
