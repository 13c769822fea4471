#include "corekit/debug.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "corekit/test_switches.h"
#include "trace_output.h"

namespace {

struct TraceSettings {
  bool loaded = false;
  bool on = false;
  bool console = false;
  std::string file;
};

// One lock orders the settings and every output, so lines from threads never interleave.
struct TraceState {
  std::mutex lock;
  TraceSettings settings;
};

// Made on first use: objects that trace while statics are being constructed (a global
// COSversion, for one) must not meet the state before it exists.
TraceState& State() {
  static TraceState state;
  return state;
}

void LoadSettings(TraceSettings& settings) {
  settings.on = nv::corekit::ReadEnvironment("NV_TRACE") == "1";
  // A test build writes where NV_TRACE_FILE says; a shipped one only into its own log folder.
  settings.file = nv::corekit::TestSwitchesOn() ? nv::corekit::ReadEnvironment("NV_TRACE_FILE")
                  : settings.on                 ? nv::corekit::ShippedTraceFile(nv::corekit::ProgramPath())
                                                : std::string();
  settings.loaded = true;
}

}  // namespace

int CDebug::dprintf(const char* format, ...) noexcept {
  if (format == nullptr) return 0;
  try {
    TraceState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    TraceSettings& settings = state.settings;
    if (!settings.loaded) LoadSettings(settings);
    if (!settings.on) return 0;

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
    if (settings.console) nv::corekit::WriteTraceConsole(text);
    if (!settings.file.empty()) nv::corekit::AppendTraceFile(settings.file, text);
    return static_cast<int>(length);
  } catch (...) {
    return 0;
  }
}

void CDebug::startConsoleWin(int width, int height, const char* title) noexcept {
  try {
    TraceState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    TraceSettings& settings = state.settings;
    if (!settings.loaded) LoadSettings(settings);
    if (settings.on && !settings.console)
      settings.console = nv::corekit::OpenTraceConsole(width, height, title);
  } catch (...) {
  }
}

void CDebug::reloadSettings() noexcept {
  try {
    TraceState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    LoadSettings(state.settings);
  } catch (...) {
  }
}
