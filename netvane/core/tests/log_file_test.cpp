#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "netvane/log_file.h"
#include "platform/named_mutex.h"
#include "platform/testing/child_process.h"

namespace fs = std::filesystem;

namespace {

class FixedClock : public LogClock {
 public:
  explicit FixedClock(std::time_t t) : t_(t) {}
  std::time_t Now() const noexcept override { return t_; }

 private:
  std::time_t t_;
};

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("nvlog-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  const FixedClock dec7_{LocalTime(2006, 12, 7, 9, 5, 7)};
};

}  // namespace

TEST_F(LogFileTest, LineHasSpacePaddedTimeAndGoesToTheMonthsFile) {
  CLogFile log(dir_.string(), "", 90, dec7_);
  log.Write("ID%d", 2);
  log.Write("START");
  EXPECT_EQ(ReadAll(dir_ / "200612-.log"), "2006-12-07, 9: 5: 7,ID2\r\n2006-12-07, 9: 5: 7,START\r\n");
  EXPECT_EQ(log.FilePathAt(LocalTime(2006, 12, 31, 23, 0, 0)), (dir_ / "200612-.log").string());
}

TEST_F(LogFileTest, StemNamesTheFileAndAMissingFolderIsCreated) {
  const fs::path folder = dir_ / "Log";
  CLogFile log(folder.string(), "net", 90, dec7_);
  EXPECT_TRUE(fs::is_directory(folder));
  log.Write("x");
  EXPECT_TRUE(fs::exists(folder / "200612-net.log"));
}

TEST_F(LogFileTest, LineFeedsBecomeCrLfAndEveryEntryEndsItsLine) {
  struct Case {
    const char* message;
    const char* written;
  } cases[] = {
      {"first\nsecond\n", "first\r\nsecond\r\n"},  // two line feeds: no extra line end
      {"plain", "plain\r\n"},
      {"a\nb", "a\r\nb\r\n"},              // the entry still ends its last line
      {"dos\r\nline", "dos\r\nline\r\n"},  // no CR CR LF
      {"", "\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    fs::remove(dir_ / "200612-.log");
    CLogFile log(dir_.string(), "", 90, dec7_);
    log.Write("%s", c.message);
    EXPECT_EQ(ReadAll(dir_ / "200612-.log"), std::string("2006-12-07, 9: 5: 7,") + c.written);
  }
}

TEST_F(LogFileTest, MessageIsCutAt1023Bytes) {
  CLogFile log(dir_.string(), "", 90, dec7_);
  log.Write("%s", std::string(3000, 'x').c_str());
  EXPECT_EQ(ReadAll(dir_ / "200612-.log"), "2006-12-07, 9: 5: 7," + std::string(1023, 'x') + "\r\n");
}

TEST_F(LogFileTest, WritingInDecemberDeletesTheSeptemberFileOnly) {
  for (const char* name : {"200608-.log", "200609-.log", "200611-.log"})
    std::ofstream(dir_ / name) << "old\r\n";
  CLogFile log(dir_.string(), "", 90, dec7_);
  log.Write("ID1");
  EXPECT_TRUE(fs::exists(dir_ / "200608-.log"));
  EXPECT_FALSE(fs::exists(dir_ / "200609-.log"));
  EXPECT_TRUE(fs::exists(dir_ / "200611-.log"));
  EXPECT_TRUE(fs::exists(dir_ / "200612-.log"));
}

TEST_F(LogFileTest, RetentionShorterThanAMonthKeepsTheCurrentFile) {
  CLogFile log(dir_.string(), "", 3, dec7_);
  log.Write("one");
  log.Write("two");
  EXPECT_EQ(ReadAll(dir_ / "200612-.log"), "2006-12-07, 9: 5: 7,one\r\n2006-12-07, 9: 5: 7,two\r\n");
}

TEST_F(LogFileTest, AnExistingNamedMutexIsWaitedFor) {
  const std::string name = "NvLogTestMutex-" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                           std::to_string(std::hash<std::string>{}(dir_.string()) % 100000);
  auto held = nv::NamedMutex::Create(name);
  ASSERT_TRUE(held);
  ASSERT_TRUE(held->Lock());
  CLogFile log(dir_.string(), "", 90, dec7_, name);
  std::thread writer([&log] { log.Write("waited"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(fs::exists(dir_ / "200612-.log")) << "the append did not wait for the mutex";
  held->Unlock();
  writer.join();
  EXPECT_EQ(ReadAll(dir_ / "200612-.log"), "2006-12-07, 9: 5: 7,waited\r\n");
}

// How long the log lets a writer wait for another process before its line is lost.
constexpr long kLogRetryBoundMs = 2000;

TEST_F(LogFileTest, AHolderKilledWhileHoldingTheMutexDoesNotStopTheNextWriter) {
  const std::string name = "NvLogKilledHolder-" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                           std::to_string(std::hash<std::string>{}(dir_.string()) % 100000);
  const auto created = nv::NamedMutex::Create(name);
  ASSERT_TRUE(created);
  const std::string self = nv::testing::SelfPath();
  const fs::path holding = dir_ / "holding";
  nv::testing::ChildProcess holder({self, "--hold-mutex", name, holding.string()});
  ASSERT_TRUE(holder.started());
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(holding) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(fs::exists(holding)) << "the holder never took the mutex";
  holder.Kill();  // dies holding it, without a chance to let go

  const fs::path took = dir_ / "took-ms";
  ASSERT_EQ(
      nv::testing::RunProgram({self, "--timed-append", dir_.string(), name, took.string()}, nullptr, 30000),
      0)
      << "the next writer is still waiting for the dead holder";
  EXPECT_LE(std::stol(ReadAll(took)), kLogRetryBoundMs);
  EXPECT_EQ(ReadAll(dir_ / "200612-.log"), "2006-12-07, 9: 5: 7,after the holder died\r\n");
}

TEST_F(LogFileTest, TwoProcessesAppendingAtOnceLoseAndTearNoLine) {
  constexpr int kLines = 1000;
  const std::string self = nv::testing::SelfPath();
  nv::testing::ChildProcess a({self, "--append-lines", dir_.string(), "A", std::to_string(kLines)});
  nv::testing::ChildProcess b({self, "--append-lines", dir_.string(), "B", std::to_string(kLines)});
  ASSERT_TRUE(a.started() && b.started());
  ASSERT_EQ(a.Wait(), 0);
  ASSERT_EQ(b.Wait(), 0);

  // Both children use the real clock: a month may turn during the run, so read every file.
  const std::regex lineShape(R"(\d{4}-\d\d-\d\d,[ \d]\d:[ \d]\d:[ \d]\d,([AB])-(\d{4})\r)");
  std::map<std::string, int> seen;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    const std::string text = ReadAll(entry.path());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(line, m, lineShape)) << "torn line: " << line;
      ++seen[m[1].str() + m[2].str()];
    }
  }
  EXPECT_EQ(seen.size(), 2u * kLines);
  for (const auto& [key, count] : seen) EXPECT_EQ(count, 1) << key;
}

// Child roles for the tests above: append numbered lines as a separate process; take a mutex and
// hold it until killed; append one line and write how many milliseconds the append took.
int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--hold-mutex") == 0) {
    const auto mutex = nv::NamedMutex::OpenExisting(argv[2]);
    if (!mutex || !mutex->Lock()) return 3;
    std::ofstream(argv[3]) << "held";
    std::this_thread::sleep_for(std::chrono::minutes(5));
    return 4;
  }
  if (argc == 5 && std::strcmp(argv[1], "--timed-append") == 0) {
    const FixedClock dec7(LocalTime(2006, 12, 7, 9, 5, 7));
    CLogFile log(argv[2], "", 90, dec7, argv[3]);
    const auto start = std::chrono::steady_clock::now();
    log.Write("after the holder died");
    const auto took = std::chrono::steady_clock::now() - start;
    std::ofstream(argv[4]) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
    return 0;
  }
  if (argc == 5 && std::strcmp(argv[1], "--append-lines") == 0) {
    CLogFile log(argv[2], "", 90);
    const int count = std::atoi(argv[4]);
    for (int i = 0; i < count; ++i) log.Write("%s-%04d", argv[3], i);
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
