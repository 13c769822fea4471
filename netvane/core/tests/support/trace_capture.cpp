#include "trace_capture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "corekit/debug.h"
#include "corekit/testing/registry_sandbox.h"

#ifdef _WIN32
#include "platform/text.h"
#include "platform/windows_api.h"
#endif

namespace cfgtest {
namespace {

namespace fs = std::filesystem;

void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  ::SetEnvironmentVariableW(nv::text::Widen(name).c_str(), value ? nv::text::Widen(value).c_str() : nullptr);
#else
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
#endif
}

}  // namespace

TraceCapture::TraceCapture()
    : path_((fs::temp_directory_path() / (corekit::testing::ProcessScratchName("nv-trace") + ".log"))
                .u8string()) {
  fs::remove(fs::u8path(path_));
  SetEnv("NV_TRACE", "1");
  SetEnv("NV_TRACE_FILE", path_.c_str());
  CDebug::reloadSettings();
}

TraceCapture::~TraceCapture() {
  SetEnv("NV_TRACE", nullptr);
  SetEnv("NV_TRACE_FILE", nullptr);
  CDebug::reloadSettings();
  std::error_code ignored;
  fs::remove(fs::u8path(path_), ignored);
}

std::string TraceCapture::Text() const {
  std::ifstream in(fs::u8path(path_), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace cfgtest
