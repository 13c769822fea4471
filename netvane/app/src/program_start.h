// Which token a program that the tray program starts runs with.  Started by the launcher
// service, the tray program runs as SYSTEM; a help viewer, browser or shell window started from
// it with that token would give the user at the console a way to SYSTEM.  So every program it
// starts for the user runs with the console user's own token whenever that token can be had
// (only a process that may act as part of the system, such as one the service started, gets
// it); only the update client keeps the tray program's token, because it writes the
// installation folder.
#pragma once
#include <string>

namespace nv::app {

enum class StartedProgram { kHelpViewer, kUpdateClient };
enum class StartToken { kTrayToken, kConsoleUser };

StartToken TokenForStart(StartedProgram program, bool consoleUserTokenAvailable) noexcept;
// "the console user's token" / "the tray program's token", for traces.
const char* TokenName(StartToken token) noexcept;

class IProgramStarter {
 public:
  virtual ~IProgramStarter() = default;
  // The token of the user at the console can be had (false where this process may not ask).
  virtual bool ConsoleUserTokenAvailable() = 0;
  // Starts `commandLine` in `directory` (may be empty) as `token`; false and `error` when it
  // did not start.
  virtual bool Start(StartToken token, const std::string& commandLine, const std::string& directory,
                     unsigned& error) = 0;
};

// The help command: the help viewer "hh.exe" of the Windows folder with `helpFile`, as the token
// TokenForStart gives.  The trace names the token.
bool StartHelpViewer(IProgramStarter& starter, const std::string& windowsDir, const std::string& helpFile);

}  // namespace nv::app
