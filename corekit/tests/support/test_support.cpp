#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include "platform/text.h"
#include "platform/windows_api.h"
#else
#include <stdlib.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace corekit_test {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  m_path = fs::temp_directory_path() /
           ("corekit-test-" + std::to_string(stamp) + "-" + std::to_string(counter.fetch_add(1)));
  fs::create_directories(m_path);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

std::string TempDir::File(std::string_view name) const { return (m_path / fs::u8path(name)).u8string(); }

void WriteBytes(const std::string& utf8Path, std::string_view bytes) {
  std::ofstream out(fs::u8path(utf8Path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << utf8Path;
}

std::string ReadBytes(const std::string& utf8Path) {
  std::ifstream in(fs::u8path(utf8Path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef _WIN32
void SetEnv(const char* name, const char* value) {
  ::SetEnvironmentVariableW(nv::text::Widen(name).c_str(), value ? nv::text::Widen(value).c_str() : nullptr);
}

unsigned long OwnProcessId() { return ::GetCurrentProcessId(); }
#else
void SetEnv(const char* name, const char* value) {
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

unsigned long OwnProcessId() { return static_cast<unsigned long>(::getpid()); }
#endif

}  // namespace corekit_test
