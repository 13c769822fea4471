// NvIdle: when the user last touched the keyboard or the mouse anywhere on the desktop.
//
// Lifecycle: stopped -> NvIdleInit -> running -> NvIdleTerm -> stopped.  The state is shared by
// every process that loads the library, so one process may start the monitor and another read it.
// A second NvIdleInit while running keeps the running watch and does not restamp the time; one
// NvIdleTerm stops it whatever the number of NvIdleInit calls before.
//
// Times are tick counts (nv::TickCountMs, milliseconds since system start, wrapping at 2^32);
// idle time = now - NvIdleGetLastInputTime().  0 means "no time": before NvIdleInit, after
// NvIdleReset and after NvIdleTerm.
//
// Windows: system-wide keyboard and mouse hooks stamp the time from every input thread.
// Linux: a watcher thread in the process that called NvIdleInit polls the X server's idle time
// (screen-saver extension) on the display named by DISPLAY.
#pragma once
#include <cstdint>

#if defined(_WIN32) && defined(NVIDLE_BUILD)
#define NVIDLE_API __declspec(dllexport)
#else
#define NVIDLE_API
#endif

extern "C" {

// Starts the input watch and stamps the time.  Returns 1 when the watch runs (also when it was
// already running), 0 when no input source could be watched (no hooks on Windows; no X display
// with the screen-saver extension on Linux): the monitor then stays stopped and the time stays 0,
// so the caller must not measure idleness against it.
NVIDLE_API int NvIdleInit(void);

// Removes the watch and clears the time; does nothing while stopped.
NVIDLE_API void NvIdleTerm(void);

// Clears the time; the next input stamps it again.
NVIDLE_API void NvIdleReset(void);

// The tick count of the latest keyboard or mouse event, or 0.
NVIDLE_API std::uint32_t NvIdleGetLastInputTime(void);
}
