// Starting the tray program on the console user's desktop (the launcher's control 129).
//
// The program runs with a primary copy of the token of the console session's "winlogon.exe";
// where no logon process runs in that session (Wine has none) the session's user token stands
// in, and the trace says so.  The steps run through SessionApi so the choices are tested without
// sessions or tokens.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nt_serv.h"

namespace nv::service {

inline constexpr const char* kLogonProcessName = "winlogon.exe";
inline constexpr const char* kTrayProgramName = "Netvane.EXE";
inline constexpr uint32_t kNoSession = 0xFFFFFFFFu;

struct SessionProcess {
  uint32_t processId = 0;
  uint32_t sessionId = 0;
  std::string imageName;
};

// An open token; closing it is the owner's destructor's job.
class LaunchToken {
 public:
  virtual ~LaunchToken();
};

enum class PrivilegeResult { kEnabled, kFailed, kNotAssigned };

class SessionApi {
 public:
  virtual ~SessionApi();
  virtual uint32_t ActiveConsoleSession() = 0;  // kNoSession when there is none
  virtual std::vector<SessionProcess> Processes() = 0;
  // The token of the user logged on in `session` (null and `error` when there is none).
  virtual std::unique_ptr<LaunchToken> UserToken(uint32_t session, uint32_t& error) = 0;
  // The process's token, opened for duplicate, query, adjust-privileges and assign-primary.
  virtual std::unique_ptr<LaunchToken> ProcessToken(uint32_t processId, uint32_t& error) = 0;
  virtual bool LookupDebugPrivilege(uint32_t& error) = 0;
  // A primary copy with maximum access, moved into `session`.
  virtual std::unique_ptr<LaunchToken> PrimaryCopy(const LaunchToken& token, uint32_t session,
                                                   uint32_t& error) = 0;
  virtual PrivilegeResult EnableDebugPrivilege(LaunchToken& token, uint32_t& error) = 0;
  // Creates `program` as the token's user (new console, normal priority, the token's environment
  // when one can be built), in `directory`, on the default desktop, shown normally.
  virtual bool CreateProgram(const LaunchToken& token, const std::string& program,
                             const std::string& directory, StartedProgram& started, uint32_t& error) = 0;
};

// Whose token the program gets.
enum class TokenSource { kLogonProcess, kSessionUser, kNone };
TokenSource ChooseTokenSource(bool logonProcessTokenOpened, bool userTokenAvailable) noexcept;

// The process id of `imageName` (without case) in `session`; 0 when none runs there.
uint32_t FindProcessInSession(const std::vector<SessionProcess>& processes, const std::string& imageName,
                              uint32_t session) noexcept;

// "C:\..." or "\\server\share..." without "..": the only installation folders the launch uses.
bool IsAbsoluteFolder(const std::string& path) noexcept;

// "%s\%s" of the installed path and the program name.
std::string TrayProgramPath(const std::string& installedPath);

// Where a launch ended.
enum class LaunchOutcome { kStarted, kNoToken, kNoInstalledPath, kCreateFailed };

// The whole launch.  `readInstalledPath` gives "InstalledPath" of the product key (false when the
// key or the value cannot be read); `console` takes the lines the launch prints.
LaunchOutcome StartTrayProgram(SessionApi& api, const std::function<bool(std::string&)>& readInstalledPath,
                               const std::function<void(const std::string&)>& console,
                               StartedProgram& started) noexcept;

}  // namespace nv::service
