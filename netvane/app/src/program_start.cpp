#include "program_start.h"

#include "corekit/debug.h"

namespace nv::app {

StartToken TokenForStart(StartedProgram program, bool consoleUserTokenAvailable) noexcept {
  if (program == StartedProgram::kUpdateClient) return StartToken::kTrayToken;
  return consoleUserTokenAvailable ? StartToken::kConsoleUser : StartToken::kTrayToken;
}

const char* TokenName(StartToken token) noexcept {
  return token == StartToken::kConsoleUser ? "the console user's token" : "the tray program's token";
}

bool StartHelpViewer(IProgramStarter& starter, const std::string& windowsDir, const std::string& helpFile) {
  const StartToken token = TokenForStart(StartedProgram::kHelpViewer, starter.ConsoleUserTokenAvailable());
  const std::string viewer = windowsDir.empty() ? "hh.exe" : windowsDir + "\\hh.exe";
  const std::string commandLine = "\"" + viewer + "\" \"" + helpFile + "\"";
  unsigned error = 0;
  const bool started = starter.Start(token, commandLine, std::string(), error);
  if (started) {
    CDebug::dprintf("OnTrayHelp: %s started with %s\n", commandLine.c_str(), TokenName(token));
  } else {
    CDebug::dprintf("OnTrayHelp: %s not started with %s (%u)\n", commandLine.c_str(), TokenName(token),
                    error);
  }
  return started;
}

}  // namespace nv::app
