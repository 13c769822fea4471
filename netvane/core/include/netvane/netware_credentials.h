// The NetWare names and credentials the drive step logs on with: the stored "AServ%d",
// "AUser%d", "APass%d" of each network below the product key, and the names the installed
// NetWare client knows.
//
// "APass%d" is kept protected (machine_secret.h) as a binary value.  A text value is the plain
// password an older installation wrote: it is still read, and replaced by its protected form at
// once.  Only protected values are ever written.
#pragma once
#include <string>

namespace nv::core {

struct NetWareCredentials {
  std::string user;
  std::string server;
  std::string password;
  // A stored password that cannot be opened (damaged, or protected on another machine): the
  // password reads as empty and the user must be asked.
  bool passwordUnreadable = false;
};

// The stored credentials of `network` (0 or 1) below `baseKey` under HKEY_LOCAL_MACHINE; absent
// values read as empty.
NetWareCredentials LoadNetWareCredentials(const std::string& baseKey, int network);
// Stores user, server and the protected password.  When the password cannot be protected the
// old stored one is removed rather than left behind or written in plain text; false then.
bool SaveNetWareCredentials(const std::string& baseKey, int network, const NetWareCredentials& credentials);

// What the installed NetWare client says about the logon.
struct NetWareClientNames {
  std::string user;
  std::string server;
  // True when the platform's own NetWare client is not set up: drives are then cancelled with
  // the "net.exe" command instead of the network-connection call.
  bool useNetCommand = false;
};
// User: `logonUser`, else "NetwareUsername" under "Network\Logon".  Server: the platform
// client's "AuthenticatingAgent", else the vendor client's preferred server "0".
NetWareClientNames ReadNetWareClientNames(const std::string& logonUser);

}  // namespace nv::core
