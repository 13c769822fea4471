// CDebug: the diagnostic trace every program writes through.
//
// Silent unless the environment variable NV_TRACE is "1" when the first trace line is written
// (or `reloadSettings` is called).  Then each line goes to the debugger output on Windows
// (OutputDebugString) and to stderr elsewhere, and is also appended to the file named by
// NV_TRACE_FILE when that is set.  Lines longer than `kMaxLine` characters are cut.
// Thread-safe; never throws.
#pragma once
#include "corekit/export.h"

#if defined(__MINGW32__)
#define NV_PRINTF_LIKE(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define NV_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define NV_PRINTF_LIKE(fmt, args)
#endif

class COREKIT_API CDebug {
 public:
  static constexpr int kMaxLine = 4095;

  // printf-style trace line.  Returns 0 when tracing is off, else the number of characters written.
  static int dprintf(const char* format, ...) noexcept NV_PRINTF_LIKE(1, 2);

  // Opens a console window of `width` x `height` characters for the trace (Windows, tracing on);
  // otherwise does nothing.
  static void startConsoleWin(int width, int height, const char* title = nullptr) noexcept;

  // Re-reads NV_TRACE and NV_TRACE_FILE (they are otherwise read once, at the first trace).
  static void reloadSettings() noexcept;
};
