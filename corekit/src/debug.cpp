#include "corekit/debug.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "trace_output.h"

namespace {

struct TraceSettings {
  bool loaded = false;
  bool on = false;
  bool console = false;
  std::string file;
};

// One lock orders the settings and every output, so lines from threads never interleave.
std::mutex g_lock;
TraceSettings g_settings;

void LoadSettings() {
  g_settings.on = nv::corekit::ReadEnvironment("NV_TRACE") == "1";
  g_settings.file = nv::corekit::ReadEnvironment("NV_TRACE_FILE");
  g_settings.loaded = true;
}

}  // namespace

int CDebug::dprintf(const char* format, ...) noexcept {
  if (format == nullptr) return 0;
  try {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_settings.loaded) LoadSettings();
    if (!g_settings.on) return 0;

    char line[kMaxLine + 2];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, kMaxLine + 1, format, args);
    va_end(args);
    if (n <= 0) return 0;
    size_t length = static_cast<size_t>(std::min(n, kMaxLine));
    if (n > kMaxLine && line[length - 1] != '\n') line[length++] = '\n';  // a cut line still ends
    const std::string_view text(line, length);

    nv::corekit::EmitTraceLine(text);
    if (g_settings.console) nv::corekit::WriteTraceConsole(text);
    if (!g_settings.file.empty()) nv::corekit::AppendTraceFile(g_settings.file, text);
    return static_cast<int>(length);
  } catch (...) {
    return 0;
  }
}

void CDebug::startConsoleWin(int width, int height, const char* title) noexcept {
  try {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_settings.loaded) LoadSettings();
    if (g_settings.on && !g_settings.console) {
      g_settings.console = nv::corekit::OpenTraceConsole(width, height, title);
    }
  } catch (...) {
  }
}

void CDebug::reloadSettings() noexcept {
  try {
    std::lock_guard<std::mutex> lock(g_lock);
    LoadSettings();
  } catch (...) {
  }
}
