// Looks at a store file without creating or changing anything, so a program that only reads its
// configuration can name what is wrong instead of starting on an empty store.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "corekit/registry_store_path.h"
#include "sqlite_handles.h"

namespace corekit {
namespace {

RegistryStoreState WithDetail(RegistryStoreState state, std::string* detail, const char* words) {
  if (detail) *detail = words ? words : "";
  return state;
}

}  // namespace

RegistryStoreState ProbeRegistryStore(const std::string& path, std::string* detail) {
  if (path.empty()) return WithDetail(RegistryStoreState::Missing, detail, "no store location is known");
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    const auto state =
        error == ENOENT || error == ENOTDIR ? RegistryStoreState::Missing : RegistryStoreState::Unreadable;
    return WithDetail(state, detail, std::strerror(error));
  }
  if (S_ISDIR(info.st_mode)) return WithDetail(RegistryStoreState::Folder, detail, "a folder");
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return WithDetail(RegistryStoreState::Unreadable, detail, std::strerror(errno));
  ::close(fd);

  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite::UniqueConnection db(raw);
  if (opened != SQLITE_OK) return WithDetail(RegistryStoreState::Unreadable, detail, sqlite3_errstr(opened));
  // Reading the schema reads the file's first page: that is where a file that is not a
  // database shows; the quick check finds damage further in.
  std::string problem;
  const int rc = sqlite3_exec(
      db.get(),
      "PRAGMA quick_check;"
      "SELECT 'not a registry store' WHERE (SELECT count(*) FROM sqlite_master) > 0 AND"
      " (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('keys', 'vals')) < 2",
      [](void* out, int, char** row, char**) {
        auto* text = static_cast<std::string*>(out);
        if (text->empty() && row[0] && std::strcmp(row[0], "ok") != 0) *text = row[0];
        return 0;
      },
      &problem, nullptr);
  if (rc == SQLITE_OK) {
    if (problem.empty()) return WithDetail(RegistryStoreState::Usable, detail, nullptr);
    return WithDetail(RegistryStoreState::Corrupt, detail, problem.c_str());
  }
  const int code = sqlite3_extended_errcode(db.get()) & 0xFF;
  const auto state = code == SQLITE_NOTADB || code == SQLITE_CORRUPT ? RegistryStoreState::Corrupt
                                                                     : RegistryStoreState::Unreadable;
  return WithDetail(state, detail, sqlite3_errmsg(db.get()));
}

}  // namespace corekit
