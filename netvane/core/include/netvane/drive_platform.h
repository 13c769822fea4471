// What the drive step needs from the platform, behind small interfaces so that its rules run
// with fakes in tests: the network-connection calls, the NetWare logon dialog with the error
// report, and the folder guard's notice.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "netvane/netware_credentials.h"

namespace nv::core {

// The key of the user's hive that holds one subkey per persistent drive mapping, named after the
// drive ("F:").
inline constexpr const char* kPersistentDrivesKey = "Network\\Persistent";

// The platform's network connections.  Codes are Win32 error codes, 0 for success.
class INetConnections {
 public:
  virtual ~INetConnections() = default;
  // Cancels the connection of `drive` ("F:"), updating the profile and closing open files.
  virtual int32_t Cancel(const std::string& drive) = 0;
  // Runs "net.exe use <drive> /delete" hidden and waits at most 10 s; false when it did not run.
  virtual bool CancelWithNetCommand(const std::string& drive) = 0;
  // Removes the persistent mapping of `drive` ("F:", as ParseDriveList gives it) from the hive of
  // the user this thread acts as, so that no later logon connects it again: 0 when it went,
  // 2 when there was none, 87 (nothing touched) for anything but a drive name.
  virtual int32_t ForgetPersistent(const std::string& drive) = 0;
  // Connects `drive` to `remote` as `user`, updating the profile.
  virtual int32_t Add(const std::string& drive, const std::string& remote, const std::string& user,
                      const std::string& password) = 0;
  // The platform's text for an error code, without a trailing line break.
  virtual std::string ErrorText(int32_t code) = 0;
};

// The two things the drive step shows the person at the desk.
class INetWareLogonUi {
 public:
  virtual ~INetWareLogonUi() = default;
  // The NetWare logon dialog for `network`, prefilled with `credentials` (user and server);
  // on OK the three texts replace them.  False when the user cancelled.
  virtual bool AskLogon(int network, NetWareCredentials& credentials) = 0;
  // One message box with every drive that could not be connected.
  virtual void ShowDriveErrors(const std::string& report) = 0;
};

// The folder guard learns the network in force after every change.
class IFolderGuard {
 public:
  virtual ~IFolderGuard() = default;
  virtual void SetNetwork(int network) = 0;
};

// The platform's own implementations.  Natively there are no network drives (every call fails
// with "not supported") and no dialog (the logon counts as cancelled; the report is traced).
std::unique_ptr<INetConnections> MakeSystemNetConnections();
std::unique_ptr<INetWareLogonUi> MakeSystemNetWareLogonUi();
// The Windows folder on the Windows 95 family, whose password-list file the drive step hides
// while network B is in force; empty elsewhere.
std::string PasswordListFolder();

}  // namespace nv::core
