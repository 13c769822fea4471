// CPSAPI: walks processes, their modules and their top-level windows, and runs helper programs
// hidden with a time limit.  Derive from it and override the hooks to see each item; a hook
// returns true to go on and false to stop the walk.
//
// Windows uses tool-help snapshots (the old NT 4 process-status mode is not provided: a 64-bit
// program never runs there).  Natively processes and modules come from /proc, there are no
// windows (FindWindowX returns null), and WinAppExec runs the program found on PATH (or as given)
// with the arguments split at blanks and its output discarded.
#pragma once
#include <string>
#include <string_view>

#include "corekit/export.h"

struct HWND__;  // the Win32 window handle type, so that this header needs no <windows.h>

class COREKIT_API CPSAPI {
 public:
  using WindowHandle = HWND__*;

  CPSAPI() noexcept;
  virtual ~CPSAPI();

  virtual bool OnDeviceDriver(void* driver);
  // `imagePath`: the image file name as the platform reports it (a bare name in Windows snapshots,
  // the full path natively).
  virtual bool OnProcess(const std::string& imagePath, unsigned long processId);
  virtual bool OnModule(void* module, const std::string& fullPath, const std::string& moduleName);

  // Nothing to load in snapshot mode: always non-zero.
  int Initialize() noexcept;
  // Call OnProcess / OnModule for each item; 0 when the list could not be taken (or a hook threw).
  int EnumProcesses() noexcept;
  int EnumProcessModules(unsigned long processId) noexcept;
  // Not provided: always 0.
  int EnumDeviceDrivers() noexcept;

  // First window of the first process whose image file name matches (see ImageNameMatches).
  WindowHandle FindWindowX(const std::string& imageName) noexcept;
  // First top-level window of the process whose class and title equal the given ones (no case).
  WindowHandle FindWindowX(const std::string& className, const std::string& title,
                           unsigned long processId) noexcept;
  WindowHandle FindWindowX(const std::string& className, unsigned long processId) noexcept;
  WindowHandle FindWindowX(unsigned long processId) noexcept;
  // FindWindowX(processId) when the image matches, else null.
  WindowHandle CompProcName(const std::string& imageName, const std::string& imagePath,
                            unsigned long processId) noexcept;

  // Runs `program` hidden and waits up to `waitMs` milliseconds; a helper still running then is
  // killed.  True when the program started (its exit code is not reported).  On Windows a bare
  // program name is taken from the system32 folder; `throughShell` matters only on the Windows 95
  // family.
  int WinAppExec(const std::string& program, const std::string& arguments, bool throughShell,
                 unsigned long waitMs) noexcept;
};

// True when the file name part of `imagePath` (after its last "\" or "/") equals `imageName`
// without case.  A bare name is its own file name part, so snapshots that report bare names
// match as well as full paths.
COREKIT_API bool ImageNameMatches(std::string_view imageName, std::string_view imagePath) noexcept;

// The program file and command line of a hidden helper run on Windows.
struct HelperCommand {
  std::string programFile;
  std::string commandLine;
};
COREKIT_API HelperCommand BuildHelperCommand(std::string_view windowsDir, bool nt, bool throughShell,
                                             std::string_view program, std::string_view arguments);
