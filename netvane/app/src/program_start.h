// Which token a program that the tray program starts runs with.  Started by the launcher
// service, the tray program runs as SYSTEM; a help viewer, browser, folder picker or shell window
// started from it with that token would give the user at the console a way to SYSTEM, and
// net.exe and the drive calls would act on SYSTEM's drive letters instead of the user's.  So
// whatever it starts or connects for the user runs with the console user's own token whenever
// that token can be had (only a process that may act as part of the system, such as one the
// service started, gets it); only the update client keeps the tray program's token, because it
// writes the installation folder.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "netvane/drive_platform.h"

namespace nv::app {

enum class StartedProgram {
  kHelpViewer,
  kUpdateClient,
  kFolderPicker,  // the option sheet's folder picker, a process of its own when not the user's
  kNetCommand,    // "net.exe use <drive> /delete" of the drive step
  kDriveCalls,    // the drive step's connect, cancel and forget calls, made while acting as that token
};
enum class StartToken { kTrayToken, kConsoleUser };

StartToken TokenForStart(StartedProgram program, bool consoleUserTokenAvailable) noexcept;
// "the console user's token" / "the tray program's token", for traces.
const char* TokenName(StartToken token) noexcept;

// How Run waits for a program.
struct RunOptions {
  bool hidden = false;         // no window shown (SW_HIDE)
  bool captureOutput = false;  // its standard output is read into RunResult::output
  unsigned long waitMs = 0;    // at most this long; a program still running then is ended
  void* owner = nullptr;       // window disabled while waiting, whose thread's messages are handled
};
struct RunResult {
  bool ended = false;  // it ended by itself within waitMs
  unsigned exitCode = 0;
  std::string output;  // its standard output, cut at kMaxOutput bytes
  static constexpr size_t kMaxOutput = 65536;
};

class IProgramStarter {
 public:
  virtual ~IProgramStarter() = default;
  // The token of the user at the console can be had (false where this process may not ask).
  virtual bool ConsoleUserTokenAvailable() = 0;
  // Starts `commandLine` in `directory` (may be empty) as `token`; false and `error` when it
  // did not start.
  virtual bool Start(StartToken token, const std::string& commandLine, const std::string& directory,
                     unsigned& error) = 0;
  // Starts `commandLine` as `token` and waits for it as `options` say; false and `error` when it
  // did not start.
  virtual bool Run(StartToken token, const std::string& commandLine, const RunOptions& options,
                   RunResult& result, unsigned& error) = 0;
  // Calls `work` while this thread acts as `token` (impersonation, undone before it returns);
  // false and `error`, without calling it, when it could not act so.
  virtual bool ActAs(StartToken token, const std::function<void()>& work, unsigned& error) = 0;
};

// The help command: the help viewer "hh.exe" of the Windows folder with `helpFile`, as the token
// TokenForStart gives.  The trace names the token.
bool StartHelpViewer(IProgramStarter& starter, const std::string& windowsDir, const std::string& helpFile);

// The folder picker as a process of its own: the tray program with this switch and the title
// (UTF-8, in hexadecimal so that no quoting can break the command line) shows only the picker,
// writes the chosen folder and a line end to its standard output and ends with 0, or ends with 1
// when nothing was chosen.
inline constexpr const char* kPickFolderSwitch = "/PICKFOLDER=";
inline constexpr unsigned long kPickFolderWaitMs = 30 * 60 * 1000;
std::string PickFolderCommandLine(const std::string& program, const std::string& title);
// The title when `argument` is the switch with a well-formed title, else nothing.
std::optional<std::string> PickFolderTitle(const std::string& argument);
// The folder a picker process handed back: only a whole line of valid UTF-8 without control
// characters, written by a process that ended by itself with 0; anything else is no folder.
std::optional<std::string> FolderFromPicker(const RunResult& result);

// The option sheet's folder picker: in this process (`inProcess`) when the tray program has the
// user's own token, else the tray program `program` with the switch, as the console user, while
// `owner` stays responsive.  Nothing chosen, a refused start or a failed picker: no folder.
std::optional<std::string> ChooseFolder(
    IProgramStarter& starter, const std::string& program, const std::string& title, void* owner,
    const std::function<std::optional<std::string>(const std::string& title)>& inProcess);

// The drive step's network connections as the tray program makes them: net.exe with the token
// TokenForStart gives, hidden, at most 10 s; the connect and cancel calls of `calls`, and the
// removal of a persistent mapping from the user's hive, while acting as that token.  Each trace
// line names the token.
std::unique_ptr<nv::core::INetConnections> MakeTrayNetConnections(
    IProgramStarter& starter, std::unique_ptr<nv::core::INetConnections> calls, std::string systemDir);

}  // namespace nv::app
