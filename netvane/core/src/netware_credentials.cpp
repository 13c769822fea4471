#include "netvane/netware_credentials.h"

#include <optional>
#include <vector>

#include "corekit/debug.h"
#include "corekit/registry.h"
#include "netvane/machine_secret.h"

using corekit::kHKeyLocalMachine;

namespace nv::core {
namespace {

constexpr const char* kLogonKey = "Network\\Logon";
constexpr const char* kPlatformClientKey = "System\\CurrentControlSet\\Services\\NWNP32\\NetworkProvider";
constexpr const char* kVendorClientKey =
    "Network\\Novell\\System Config\\Netware DOS Requester\\Preferred Server";

std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

std::string ReadText(const char* key, const char* value) {
  CRegistry reg;
  std::string text;
  if (reg.uOpenKey(kHKeyLocalMachine, key)) reg.GetValue(value, text);
  return text;
}

bool StoreProtected(CRegistry& reg, const std::string& name, const std::string& password) {
  const std::optional<std::vector<uint8_t>> sealed = ProtectMachineSecret(password);
  if (!sealed) return false;
  return reg.SetValue(name.c_str(), *sealed) != 0;
}

}  // namespace

NetWareCredentials LoadNetWareCredentials(const std::string& baseKey, int network) {
  NetWareCredentials c;
  CRegistry reg;
  if (!reg.uOpenKey(kHKeyLocalMachine, baseKey.c_str())) return c;
  reg.GetValue(Numbered("AServ", network).c_str(), c.server);
  reg.GetValue(Numbered("AUser", network).c_str(), c.user);

  const std::string passName = Numbered("APass", network);
  std::vector<uint8_t> sealed;
  if (reg.GetBinaryValue(passName.c_str(), sealed)) {
    if (std::optional<std::string> plain = UnprotectMachineSecret(sealed)) {
      c.password = std::move(*plain);
    } else {
      c.passwordUnreadable = true;
      CDebug::dprintf("LoadNetWareCredentials: %s cannot be opened on this machine\n", passName.c_str());
    }
  } else if (reg.GetStringValue(passName.c_str(), c.password)) {
    // An older installation's plain text: keep it working, but do not leave it readable.
    if (!StoreProtected(reg, passName, c.password))
      CDebug::dprintf("LoadNetWareCredentials: %s stays plain, protection failed\n", passName.c_str());
  }
  return c;
}

bool SaveNetWareCredentials(const std::string& baseKey, int network, const NetWareCredentials& credentials) {
  CRegistry reg;
  if (!reg.uOpenKey(kHKeyLocalMachine, baseKey.c_str()) &&
      !(reg.Connect(kHKeyLocalMachine) && reg.Create(baseKey.c_str()))) {
    return false;
  }
  bool ok = reg.SetValue(Numbered("AUser", network).c_str(), credentials.user) != 0;
  const std::string passName = Numbered("APass", network);
  if (!StoreProtected(reg, passName, credentials.password)) {
    CDebug::dprintf("SaveNetWareCredentials: %s not stored, protection failed\n", passName.c_str());
    reg.DeleteValue(passName.c_str());
    ok = false;
  }
  ok = reg.SetValue(Numbered("AServ", network).c_str(), credentials.server) != 0 && ok;
  return ok;
}

NetWareClientNames ReadNetWareClientNames(const std::string& logonUser) {
  NetWareClientNames names;
  names.user = !logonUser.empty() ? logonUser : ReadText(kLogonKey, "NetwareUsername");
  names.server = ReadText(kPlatformClientKey, "AuthenticatingAgent");
  names.useNetCommand = names.server.empty();
  if (names.useNetCommand) names.server = ReadText(kVendorClientKey, "0");
  return names;
}

}  // namespace nv::core
