// The native store when things go wrong: a failure inside a write, another process holding the
// write lock, a power loss right after a write, an older store's names, a broken store file.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "corekit/registry.h"
#include "corekit/registry_store_path.h"
#include "corekit/win32_error_codes.h"
#include "platform/testing/child_process.h"
#include "support/test_support.h"

namespace err = corekit::win32_error;
using corekit::RegistryStoreOptions;

namespace {

constexpr const char* kWriterFlag = "--store-writer";
constexpr const char* kKey = "SOFTWARE\\Tarn\\Netvane-H";

// Child mode: writes dwFromChild = 7 into `file`; the exit code is the store's error code.
int RunWriter(const std::string& file) {
  RegistryStoreOptions options;
  options.lockWait = std::chrono::milliseconds(3000);
  CRegistry reg(corekit::OpenRegistryStore(file, options));
  if (!reg.Connect(corekit::kHKeyLocalMachine) || !reg.Create(kKey)) return reg.GetErrorCode();
  return reg.SetValue("dwFromChild", uint32_t{7}) ? 0 : reg.GetErrorCode();
}

uint32_t ReadNumber(const std::string& file, const char* name) {
  CRegistry reg(corekit::OpenRegistryStore(file));
  uint32_t value = 0xFFFFFFFF;
  if (!reg.uOpenKey(corekit::kHKeyLocalMachine, kKey) || !reg.GetValue(name, value)) return 0xFFFFFFFF;
  return value;
}

TEST(RegistryStoreFaults, AFailureInsideAWriteLeavesTheStoreWritable) {
  corekit_test::TempDir dir;
  const std::string file = dir.File("registry.db");
  bool failNext = false;
  RegistryStoreOptions options;
  options.insideWrite = [&] {
    if (failNext) {
      failNext = false;
      throw std::runtime_error("injected");
    }
  };
  CRegistry reg(corekit::OpenRegistryStore(file, options));
  ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(reg.Create(kKey)) << reg.GetErrorCode();
  ASSERT_TRUE(reg.SetValue("dwBefore", uint32_t{1}));

  failNext = true;
  EXPECT_EQ(reg.SetValue("dwLost", uint32_t{2}), 0);
  EXPECT_EQ(reg.GetErrorCode(), err::kInternalError);

  EXPECT_TRUE(reg.SetValue("dwAfter", uint32_t{3})) << reg.GetErrorCode();
  nv::testing::ChildProcess other({nv::testing::SelfPath(), kWriterFlag, file});
  ASSERT_TRUE(other.started());
  EXPECT_EQ(other.Wait(), 0);

  EXPECT_EQ(ReadNumber(file, "dwBefore"), 1u);
  EXPECT_EQ(ReadNumber(file, "dwLost"), 0xFFFFFFFFu);
  EXPECT_EQ(ReadNumber(file, "dwAfter"), 3u);
  EXPECT_EQ(ReadNumber(file, "dwFromChild"), 7u);
}

TEST(RegistryStoreFaults, AWriteLockHeldElsewhereIsReportedAsBusy) {
  corekit_test::TempDir dir;
  const std::string file = dir.File("registry.db");
  RegistryStoreOptions waitShort;
  waitShort.lockWait = std::chrono::milliseconds(50);
  CRegistry waiting(corekit::OpenRegistryStore(file, waitShort));
  ASSERT_TRUE(waiting.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(waiting.Create(kKey));

  // The other store writes into waiting's key while it holds its own write lock.
  bool holding = false;
  int waitedResult = -1;
  int32_t waitedCode = 0;
  RegistryStoreOptions holder;
  holder.insideWrite = [&] {
    if (!holding) return;
    holding = false;
    waitedResult = waiting.SetValue("dwWaited", uint32_t{1});
    waitedCode = waiting.GetErrorCode();
  };
  CRegistry holderReg(corekit::OpenRegistryStore(file, holder));
  ASSERT_TRUE(holderReg.uOpenKey(corekit::kHKeyLocalMachine, kKey));
  holding = true;
  ASSERT_TRUE(holderReg.SetValue("dwHeld", uint32_t{1}));
  EXPECT_EQ(waitedResult, 0);
  EXPECT_EQ(waitedCode, err::kBusy);

  // Once the lock is free the same write goes through.
  EXPECT_TRUE(waiting.SetValue("dwWaited", uint32_t{2})) << waiting.GetErrorCode();
}

// Counts the syncs SQLite asks of the disk, through a thin layer over the default file system.
class SyncCounter {
 public:
  SyncCounter() {
    real_ = sqlite3_vfs_find(nullptr);
    offset_ = (real_->szOsFile + 15) & ~15;
    vfs_ = *real_;
    vfs_.zName = "nv-sync-counter";
    vfs_.szOsFile = offset_ + static_cast<int>(sizeof(Extra));
    vfs_.xOpen = Open;
    vfs_.pAppData = this;
    sqlite3_vfs_register(&vfs_, 1);
  }
  ~SyncCounter() {
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(real_, 1);
  }
  int syncs() const { return syncs_; }

 private:
  // Kept after the real file object: its methods with xSync replaced.
  struct Extra {
    sqlite3_io_methods methods;
    int (*realSync)(sqlite3_file*, int);
    SyncCounter* owner;
  };
  static Extra* ExtraOf(sqlite3_file* file) {
    return reinterpret_cast<Extra*>(reinterpret_cast<char*>(file) + offset_);
  }
  static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* self = static_cast<SyncCounter*>(vfs->pAppData);
    const int rc = self->real_->xOpen(self->real_, name, file, flags, outFlags);
    if (rc != SQLITE_OK || !file->pMethods) return rc;
    Extra* extra = ExtraOf(file);
    extra->methods = *file->pMethods;
    extra->realSync = file->pMethods->xSync;
    extra->owner = self;
    extra->methods.xSync = Sync;
    file->pMethods = &extra->methods;
    return rc;
  }
  static int Sync(sqlite3_file* file, int flags) {
    Extra* extra = ExtraOf(file);
    ++extra->owner->syncs_;
    return extra->realSync(file, flags);
  }

  sqlite3_vfs* real_ = nullptr;
  sqlite3_vfs vfs_{};
  static inline int offset_ = 0;  // where Extra starts: after the real file object
  std::atomic<int> syncs_{0};
};

TEST(RegistryStoreFaults, ACommittedWriteIsOnDiskBeforeItReturns) {
  corekit_test::TempDir dir;
  SyncCounter counter;
  CRegistry reg(corekit::OpenRegistryStore(dir.File("registry.db")));
  ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(reg.Create(kKey));
  for (uint32_t i = 0; i < 3; ++i) {
    const int before = counter.syncs();
    ASSERT_TRUE(reg.SetValue("dwSaved", i));
    EXPECT_GT(counter.syncs(), before) << "write " << i << " was not synced";
  }
}

TEST(RegistryStoreFaults, AStoreWithAsciiFoldedNamesIsRefoldedOnce) {
  corekit_test::TempDir dir;
  const std::string file = dir.File("registry.db");
  {
    CRegistry reg(corekit::OpenRegistryStore(file));
    ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine));
    ASSERT_TRUE(reg.Create("SOFTWARE\\\xC3\xA4rger"));  // ärger
    ASSERT_TRUE(reg.SetValue("\xC3\xB6l", std::string("oil")));
    ASSERT_TRUE(reg.SetValue("\xC3\x96L", std::string("second")));  // the same name: overwrites
  }
  // Make it look as an older program left it: names folded in ASCII only.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "UPDATE keys SET fold = upper(name); UPDATE vals SET fold = upper(name);"
                         "PRAGMA user_version = 1",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  CRegistry reg(corekit::OpenRegistryStore(file));
  ASSERT_TRUE(reg.uOpenKey(corekit::kHKeyLocalMachine, "software\\\xC3\x84RGER")) << reg.GetErrorCode();
  std::string text;
  EXPECT_TRUE(reg.GetValue("\xC3\x96L", text));
  EXPECT_EQ(text, "second");
}

TEST(RegistryStoreFaults, ProbeNamesWhatIsWrongWithAStoreFile) {
  corekit_test::TempDir dir;
  const std::string good = dir.File("good.db");
  {
    CRegistry reg(corekit::OpenRegistryStore(good));
    ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine));
    ASSERT_TRUE(reg.Create(kKey));
  }
  corekit_test::WriteBytes(dir.File("garbage.db"), std::string(4096, 'g'));
  corekit_test::WriteBytes(dir.File("empty.db"), "");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(dir.File("other.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE songs(title)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  corekit_test::WriteBytes(dir.File("locked.db"), std::string(4096, 'g'));
  ASSERT_EQ(::chmod(dir.File("locked.db").c_str(), 0), 0);

  using State = corekit::RegistryStoreState;
  struct Case {
    std::string path;
    State expected;
  } cases[] = {
      {good, State::Usable},
      {dir.File("empty.db"), State::Usable},  // becomes a store on first write
      {dir.File("nothing/registry.db"), State::Missing},
      {dir.File("garbage.db") + "/registry.db", State::Missing},
      {"", State::Missing},
      {dir.path().string(), State::Folder},
      {dir.File("garbage.db"), State::Corrupt},
      {dir.File("other.db"), State::Corrupt},
      {dir.File("locked.db"), State::Unreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.expected == State::Unreadable && ::geteuid() == 0) {
      // Root reads every file: probe as an ordinary user in a child.
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped ? static_cast<int>(corekit::ProbeRegistryStore(c.path)) : 99);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(State::Unreadable));
      continue;
    }
    std::string detail;
    EXPECT_EQ(corekit::ProbeRegistryStore(c.path, &detail), c.expected) << detail;
    if (c.expected != State::Usable) {
      EXPECT_FALSE(detail.empty());
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("nothing")));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == kWriterFlag) return RunWriter(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
