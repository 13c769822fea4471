#include "program_start.h"

#include "corekit/debug.h"
#include "platform/text.h"

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

// ---- folder picker ----

std::string PickFolderCommandLine(const std::string& program, const std::string& title) {
  return "\"" + program + "\" " + kPickFolderSwitch + nv::text::HexText(title);
}

std::optional<std::string> PickFolderTitle(const std::string& argument) {
  const std::string prefix = kPickFolderSwitch;
  if (!nv::text::EqualsNoCase(argument.substr(0, prefix.size()), prefix)) return std::nullopt;
  std::optional<std::string> title = nv::text::BytesFromHex(argument.substr(prefix.size()));
  if (!title || !nv::text::IsValidUtf8(*title)) return std::nullopt;
  return title;
}

std::optional<std::string> FolderFromPicker(const RunResult& result) {
  if (!result.ended || result.exitCode != 0) return std::nullopt;
  const std::string& out = result.output;
  if (out.size() < 2 || out.size() >= RunResult::kMaxOutput || out.back() != '\n') return std::nullopt;
  std::string folder = out.substr(0, out.size() - 1);
  if (!folder.empty() && folder.back() == '\r') folder.pop_back();
  if (folder.empty() || !nv::text::IsValidUtf8(folder)) return std::nullopt;
  for (const unsigned char c : folder)
    if (c < 0x20 || c == 0x7F) return std::nullopt;
  return folder;
}

std::optional<std::string> ChooseFolder(
    IProgramStarter& starter, const std::string& program, const std::string& title, void* owner,
    const std::function<std::optional<std::string>(const std::string& title)>& inProcess) {
  const StartToken token = TokenForStart(StartedProgram::kFolderPicker, starter.ConsoleUserTokenAvailable());
  if (token == StartToken::kTrayToken) return inProcess(title);
  RunOptions options;
  options.captureOutput = true;
  options.waitMs = kPickFolderWaitMs;
  options.owner = owner;
  RunResult result;
  unsigned error = 0;
  if (!starter.Run(token, PickFolderCommandLine(program, title), options, result, error)) {
    CDebug::dprintf("Folder picker not started with %s (%u): no folder chosen\n", TokenName(token), error);
    return std::nullopt;
  }
  std::optional<std::string> folder = FolderFromPicker(result);
  if (folder) {
    CDebug::dprintf("Folder picker ran with %s: %s\n", TokenName(token), folder->c_str());
  } else {
    CDebug::dprintf("Folder picker ran with %s: no folder chosen (%s, status %u, %zu bytes)\n",
                    TokenName(token), result.ended ? "ended" : "ended by us", result.exitCode,
                    result.output.size());
  }
  return folder;
}

// ---- drive step ----

namespace {

constexpr unsigned long kNetCommandWaitMs = 10000;

class TrayNetConnections final : public nv::core::INetConnections {
 public:
  TrayNetConnections(IProgramStarter& starter, std::unique_ptr<nv::core::INetConnections> calls,
                     std::string systemDir)
      : m_starter(starter), m_calls(std::move(calls)), m_systemDir(std::move(systemDir)) {}

  int32_t Cancel(const std::string& drive) override {
    return Call("cancel " + drive, [&] { return m_calls->Cancel(drive); });
  }

  bool CancelWithNetCommand(const std::string& drive) override {
    const StartToken token =
        TokenForStart(StartedProgram::kNetCommand, m_starter.ConsoleUserTokenAvailable());
    const std::string net = m_systemDir.empty() ? "net.exe" : m_systemDir + "\\net.exe";
    const std::string commandLine = "\"" + net + "\" use " + drive + " /delete";
    RunOptions options;
    options.hidden = true;
    options.waitMs = kNetCommandWaitMs;
    RunResult result;
    unsigned error = 0;
    if (!m_starter.Run(token, commandLine, options, result, error)) {
      CDebug::dprintf("CancelDrive %s %s not started with %s (%u)\n", drive.c_str(), commandLine.c_str(),
                      TokenName(token), error);
      return false;
    }
    CDebug::dprintf("CancelDrive %s %s ran with %s\n", drive.c_str(), commandLine.c_str(), TokenName(token));
    return true;
  }

  int32_t ForgetPersistent(const std::string& drive) override {
    return Call("forget the persistent mapping of " + drive,
                [&] { return m_calls->ForgetPersistent(drive); });
  }

  int32_t Add(const std::string& drive, const std::string& remote, const std::string& user,
              const std::string& password) override {
    return Call("connect " + drive + " " + remote,
                [&] { return m_calls->Add(drive, remote, user, password); });
  }

  std::string ErrorText(int32_t code) override { return m_calls->ErrorText(code); }

 private:
  template <typename Work>
  int32_t Call(const std::string& what, Work work) {
    const StartToken token =
        TokenForStart(StartedProgram::kDriveCalls, m_starter.ConsoleUserTokenAvailable());
    int32_t code = 0;
    unsigned error = 0;
    if (!m_starter.ActAs(
            token, [&] { code = work(); }, error)) {
      // Never done as the tray instead: its drive letters are not the user's.
      CDebug::dprintf("Drive step: %s not done, cannot act with %s (%u)\n", what.c_str(), TokenName(token),
                      error);
      return static_cast<int32_t>(error != 0 ? error : 1);
    }
    CDebug::dprintf("Drive step: %s with %s: %d\n", what.c_str(), TokenName(token), static_cast<int>(code));
    return code;
  }

  IProgramStarter& m_starter;
  std::unique_ptr<nv::core::INetConnections> m_calls;
  std::string m_systemDir;
};

}  // namespace

std::unique_ptr<nv::core::INetConnections> MakeTrayNetConnections(
    IProgramStarter& starter, std::unique_ptr<nv::core::INetConnections> calls, std::string systemDir) {
  return std::make_unique<TrayNetConnections>(starter, std::move(calls), std::move(systemDir));
}

}  // namespace nv::app
