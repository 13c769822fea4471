#include "updater/replacing_copy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace nv::updater {
namespace {

namespace fs = std::filesystem;

// The real file system, with writes that fail once `budget` bytes have been written (a disk
// that fills up half-way) or a replace that fails (a target in use).
class FailingFileSystem final : public IFileSystem {
 public:
  explicit FailingFileSystem(IFileSystem& real) : m_real(real) {}
  long long budget = -1;  // bytes the disk still takes; -1: unlimited
  bool failReplace = false;

  std::unique_ptr<IReadFile> OpenRead(const std::string& path) noexcept override {
    return m_real.OpenRead(path);
  }
  std::unique_ptr<IWriteFile> Create(const std::string& path) noexcept override {
    return Wrap(m_real.Create(path));
  }
  std::unique_ptr<IWriteFile> CreateTemporary(const std::string& dir, std::string& path) noexcept override {
    return Wrap(m_real.CreateTemporary(dir, path));
  }
  bool Replace(const std::string& from, const std::string& to) noexcept override {
    return !failReplace && m_real.Replace(from, to);
  }
  bool Remove(const std::string& path) noexcept override { return m_real.Remove(path); }
  bool CreateDirectory(const std::string& path) noexcept override { return m_real.CreateDirectory(path); }
  bool Exists(const std::string& path) noexcept override { return m_real.Exists(path); }
  bool InUse(const std::string& path) noexcept override { return m_real.InUse(path); }
  bool ReplaceAtRestart(const std::string& from, const std::string& to) noexcept override {
    return m_real.ReplaceAtRestart(from, to);
  }
  bool IsReplaceableTarget(const std::string& path) noexcept override {
    return m_real.IsReplaceableTarget(path);
  }
  bool CreatePrivateDirectory(const std::string& path) noexcept override {
    return m_real.CreatePrivateDirectory(path);
  }
  std::string LastError() const override { return "disk full"; }

 private:
  class Writer final : public IWriteFile {
   public:
    Writer(std::unique_ptr<IWriteFile> inner, long long& budget)
        : m_inner(std::move(inner)), m_budget(budget) {}
    bool Write(const char* data, size_t size) noexcept override {
      if (m_budget >= 0) {
        const size_t room = static_cast<size_t>(m_budget) < size ? static_cast<size_t>(m_budget) : size;
        m_budget -= static_cast<long long>(room);
        m_inner->Write(data, room);  // what fits reaches the disk, as on a real one
        if (room < size) return false;
      }
      return m_inner->Write(data, size);
    }
    bool Flush() noexcept override { return m_inner->Flush(); }
    bool Close() noexcept override { return m_inner->Close(); }

   private:
    std::unique_ptr<IWriteFile> m_inner;
    long long& m_budget;
  };
  std::unique_ptr<IWriteFile> Wrap(std::unique_ptr<IWriteFile> inner) {
    if (!inner) return nullptr;
    return std::make_unique<Writer>(std::move(inner), budget);
  }
  IFileSystem& m_real;
};

class ReplacingCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("nv-copy-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string Path(const char* name) const { return (m_dir / name).string(); }
  static void Write(const std::string& path, const std::string& bytes) {
    auto out = NativeFileSystem().Create(path);
    ASSERT_TRUE(out && out->Write(bytes.data(), bytes.size()) && out->Close());
  }
  static std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(NativeFileSystem(), path, bytes));
    return bytes;
  }
  size_t FileCount() const { return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), {})); }
  fs::path m_dir;
};

TEST_F(ReplacingCopyTest, CopyReplacesTheTargetInBlocks) {
  const std::string fresh(150000, 'n');
  Write(Path("staged.exe"), fresh);
  Write(Path("target.exe"), "old program");
  uint64_t lastDone = 0, lastTotal = 0;
  int blocks = 0;
  const CopyResult r = CopyReplacing(NativeFileSystem(), Path("staged.exe"), Path("target.exe"), 61440,
                                     NativePathStyle(), [&](uint64_t done, uint64_t total) {
                                       ++blocks;
                                       lastDone = done;
                                       lastTotal = total;
                                     });
  EXPECT_EQ(r.status, CopyStatus::kCopied) << r.error;
  EXPECT_EQ(Read(Path("target.exe")), fresh);
  EXPECT_EQ(blocks, 3);
  EXPECT_EQ(lastDone, fresh.size());
  EXPECT_EQ(lastTotal, fresh.size());
  EXPECT_EQ(FileCount(), 2u);  // no temporary left beside them
}

TEST_F(ReplacingCopyTest, FailuresLeaveTheOldTargetByteIdenticalAndNoTemporary) {
  const std::string old = std::string("MZ old working program") + std::string(70000, '\x01');
  const struct {
    const char* name;
    long long budget;
    bool failReplace;
  } cases[] = {
      {"disk full half-way", 75000, false},
      {"disk full at once", 0, false},
      {"target in use", -1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Write(Path("staged.exe"), std::string(150000, 'n'));
    Write(Path("target.exe"), old);
    FailingFileSystem failing(NativeFileSystem());
    failing.budget = c.budget;
    failing.failReplace = c.failReplace;
    const CopyResult r =
        CopyReplacing(failing, Path("staged.exe"), Path("target.exe"), 61440, NativePathStyle());
    EXPECT_EQ(r.status, CopyStatus::kFailed);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(Read(Path("target.exe")), old);
    EXPECT_EQ(FileCount(), 2u);
  }
}

TEST_F(ReplacingCopyTest, TargetThatIsNoPlainFileIsRefusedBeforeAByteIsWritten) {
  Write(Path("staged.exe"), "new program");
  fs::create_directory(m_dir / "folder.exe");
  std::vector<std::string> targets = {Path("folder.exe")};
#ifdef _WIN32
  targets.push_back(Path("NUL"));  // the device, in any folder
  targets.push_back(Path("con.dll"));
#else
  Write(Path("real.exe"), "old");
  fs::create_symlink(m_dir / "real.exe", m_dir / "link.exe");
  ASSERT_EQ(::mkfifo(Path("pipe.exe").c_str(), 0600), 0);
  targets.push_back(Path("link.exe"));
  targets.push_back(Path("pipe.exe"));
  targets.push_back("/dev/null");
#endif
  const size_t before = FileCount();
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    const CopyResult r =
        CopyReplacing(NativeFileSystem(), Path("staged.exe"), target, 61440, NativePathStyle());
    EXPECT_EQ(r.status, CopyStatus::kFailed);
    EXPECT_NE(r.error.find("is not a plain file, refused"), std::string::npos) << r.error;
    EXPECT_EQ(FileCount(), before);  // no temporary was made
  }
  EXPECT_TRUE(fs::is_directory(m_dir / "folder.exe"));
#ifndef _WIN32
  EXPECT_TRUE(fs::is_symlink(m_dir / "link.exe"));
  EXPECT_EQ(Read(Path("real.exe")), "old");
#endif
}

TEST_F(ReplacingCopyTest, MissingSourceTouchesNothing) {
  Write(Path("target.exe"), "old");
  const CopyResult r =
      CopyReplacing(NativeFileSystem(), Path("none.exe"), Path("target.exe"), 61440, NativePathStyle());
  EXPECT_EQ(r.status, CopyStatus::kSourceMissing);
  EXPECT_EQ(Read(Path("target.exe")), "old");
  EXPECT_EQ(FileCount(), 1u);
}

}  // namespace
}  // namespace nv::updater
