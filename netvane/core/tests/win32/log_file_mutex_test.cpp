// The system-wide log lock goes by the name other programs of the maker create it under.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "netvane/log_file.h"
#include "platform/named_mutex.h"

namespace fs = std::filesystem;

TEST(LogFileMutex, AppendWaitsForNetvaneLogMutex) {
  const fs::path dir = fs::temp_directory_path() / "nvlog-named-mutex";
  fs::remove_all(dir);
  auto held = nv::NamedMutex::Create("NETVANE_LOG_MUTEX");
  ASSERT_TRUE(held);
  ASSERT_TRUE(held->Lock());
  CLogFile log(dir.string(), "", 90);
  std::thread writer([&log] { log.Write("SHUTDOWN"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(fs::is_empty(dir)) << "the append did not wait for NETVANE_LOG_MUTEX";
  held->Unlock();
  writer.join();
  EXPECT_FALSE(fs::is_empty(dir));
  fs::remove_all(dir);
}
