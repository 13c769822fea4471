#include "tray_launch.h"

#include <cstdio>

#include "corekit/debug.h"
#include "platform/text.h"

namespace nv::service {
namespace {

std::string Line(const char* format, uint32_t value) {
  char text[128];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
  return text;
}

}  // namespace

LaunchToken::~LaunchToken() = default;
SessionApi::~SessionApi() = default;

bool IsAbsoluteFolder(const std::string& path) noexcept {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
                     path[1] == ':' && separator(path[2]);
  const bool unc =
      path.size() > 4 && separator(path[0]) && separator(path[1]) && path[2] != '?' && path[2] != '.';
  return (drive || unc) && path.find("..") == std::string::npos;
}

TokenSource ChooseTokenSource(bool logonProcessTokenOpened, bool userTokenAvailable) noexcept {
  if (logonProcessTokenOpened) return TokenSource::kLogonProcess;
  if (userTokenAvailable) return TokenSource::kSessionUser;
  return TokenSource::kNone;
}

uint32_t FindProcessInSession(const std::vector<SessionProcess>& processes, const std::string& imageName,
                              uint32_t session) noexcept {
  for (const SessionProcess& process : processes)
    if (process.sessionId == session && nv::text::EqualsNoCase(process.imageName, imageName))
      return process.processId;
  return 0;
}

std::string TrayProgramPath(const std::string& installedPath) {
  return installedPath + "\\" + kTrayProgramName;
}

LaunchOutcome StartTrayProgram(SessionApi& api, const std::function<bool(std::string&)>& readInstalledPath,
                               const std::function<void(const std::string&)>& console,
                               StartedProgram& started) noexcept {
  try {
    const uint32_t session = api.ActiveConsoleSession();
    const uint32_t logonProcess = FindProcessInSession(api.Processes(), kLogonProcessName, session);

    uint32_t error = 0;
    std::unique_ptr<LaunchToken> userToken = api.UserToken(session, error);
    std::unique_ptr<LaunchToken> logonToken;
    if (logonProcess != 0) {
      logonToken = api.ProcessToken(logonProcess, error);
      if (!logonToken) console(Line("Process token open Error: %u\n", error));
    }

    const TokenSource source = ChooseTokenSource(logonToken != nullptr, userToken != nullptr);
    if (source == TokenSource::kNone) {
      CDebug::dprintf("NvSVC: no token for console session %u: nothing started\n",
                      static_cast<unsigned>(session));
      return LaunchOutcome::kNoToken;
    }
    if (source == TokenSource::kSessionUser)
      CDebug::dprintf("NvSVC: no %s in console session %u: starting with the session's user token\n",
                      kLogonProcessName, static_cast<unsigned>(session));

    const LaunchToken& token = source == TokenSource::kLogonProcess ? *logonToken : *userToken;
    // The debug privilege belongs to the logon process's token; a user's token never holds it.
    const bool wantsDebugPrivilege = source == TokenSource::kLogonProcess;
    bool privilegeKnown = false;
    if (wantsDebugPrivilege) {
      privilegeKnown = api.LookupDebugPrivilege(error);
      if (!privilegeKnown) console(Line("Lookup Privilege value Error: %u\n", error));
    }
    std::unique_ptr<LaunchToken> primary = api.PrimaryCopy(token, session, error);
    if (!primary) {
      CDebug::dprintf("NvSVC: the token could not be copied (%u): nothing started\n",
                      static_cast<unsigned>(error));
      return LaunchOutcome::kNoToken;
    }
    if (privilegeKnown) {
      switch (api.EnableDebugPrivilege(*primary, error)) {
        case PrivilegeResult::kEnabled:
          break;
        case PrivilegeResult::kFailed:
          console(Line("Adjust Privilege value Error: %u\n", error));
          break;
        case PrivilegeResult::kNotAssigned:
          console("Token does not have the provilege\n");
          break;
      }
    }

    std::string installedPath;
    if (!readInstalledPath(installedPath)) {
      CDebug::dprintf("NvSVC: no InstalledPath: nothing started\n");
      return LaunchOutcome::kNoInstalledPath;
    }
    // A relative folder would be searched from the service's current folder (the system folder),
    // an empty one would start "\Netvane.EXE" from the root of the drive, which any user may write.
    if (!IsAbsoluteFolder(installedPath)) {
      CDebug::dprintf("NvSVC: InstalledPath \"%s\" is not an absolute folder: nothing started\n",
                      installedPath.c_str());
      return LaunchOutcome::kNoInstalledPath;
    }
    const std::string program = TrayProgramPath(installedPath);
    if (!api.CreateProgram(*primary, program, installedPath, started, error)) {
      CDebug::dprintf("NvSVC: %s did not start (%u)\n", program.c_str(), static_cast<unsigned>(error));
      return LaunchOutcome::kCreateFailed;
    }
    CDebug::dprintf("NvSVC: started %s, process %u\n", program.c_str(),
                    static_cast<unsigned>(started.processId));
    return LaunchOutcome::kStarted;
  } catch (...) {
    CDebug::dprintf("NvSVC: the launch ended by an exception\n");
    return LaunchOutcome::kCreateFailed;
  }
}

}  // namespace nv::service
