#include "update_settings.h"

#include "client_arguments.h"
#include "corekit/registry.h"
#include "platform/text.h"

namespace nv::updater {
namespace {

const std::string kUpdate = "\\Update";
const std::string kServer = "\\Update\\Server";
const std::string kServerList = "\\Update\\ServerList";
const std::string kServerNum = "\\Update\\ServerNum";

}  // namespace

ServerEndpoint EndpointFromText(std::string_view text, const ServerDefaults& defaults) {
  const size_t first = text.find(':');
  if (first == std::string_view::npos) return {defaults.address, "anonymous", defaults.anonymousPassword};
  const size_t last = text.rfind(':');
  ServerEndpoint endpoint;
  endpoint.user = std::string(text.substr(0, first));
  endpoint.address = std::string(text.substr(last + 1));
  if (last != first) endpoint.password = std::string(text.substr(first + 1, last - first - 1));
  return endpoint;
}

std::string ServerText(const ServerRecord& server) {
  return server.user + ":" + server.password + ":" + server.address;
}

std::string ProductKeyPath(std::string_view maker, std::string_view product) {
  return "Software\\" + std::string(maker) + "\\" + std::string(product);
}

CUpdateSettings::CUpdateSettings(std::string productKeyPath) : m_productKey(std::move(productKeyPath)) {}

std::string CUpdateSettings::Read(const std::string& subkey, const char* name) const {
  CRegistry reg;
  std::string value;
  if (reg.uOpenKey(corekit::kHKeyLocalMachine, (m_productKey + subkey).c_str())) reg.GetValue(name, value);
  return value;
}

bool CUpdateSettings::Write(const std::string& subkey, const char* name, const std::string& value) const {
  CRegistry reg;
  return reg.Connect(corekit::kHKeyLocalMachine) && reg.Create((m_productKey + subkey).c_str()) &&
         reg.SetValue(name, value);
}

void CUpdateSettings::EnsureKeys() const {
  for (const auto* subkey : {&kServer, &kServerList, &kServerNum}) {
    CRegistry reg;
    if (reg.Connect(corekit::kHKeyLocalMachine)) reg.Create((m_productKey + *subkey).c_str());
  }
}

std::string CUpdateSettings::InstalledPath() const { return Read("", "InstalledPath"); }

std::vector<std::string> CUpdateSettings::ServerNames() const {
  // A number as the editor stores it; a text count written by hand is read as well.
  uint32_t count = 0;
  CRegistry reg;
  if (reg.uOpenKey(corekit::kHKeyLocalMachine, (m_productKey + kServerNum).c_str()) &&
      !reg.GetValue("Count", count)) {
    const int text = LeadingInt(Read(kServerNum, "Count"));
    count = text > 0 ? static_cast<uint32_t>(text) : 0;
  }
  std::vector<std::string> names;
  for (uint32_t i = 1; i <= count && i <= 1000; ++i)
    names.push_back(Read(kServer, std::to_string(i).c_str()));
  return names;
}

std::string CUpdateSettings::ServerTextOf(const std::string& name) const {
  return name.empty() ? std::string() : Read(kServerList, name.c_str());
}

std::string CUpdateSettings::ServerNameAt(int index) const {
  return index <= 0 ? std::string() : Read(kServer, std::to_string(index).c_str());
}

std::vector<ServerRecord> CUpdateSettings::LoadServers() const {
  std::vector<ServerRecord> servers;
  for (const auto& name : ServerNames()) {
    const std::string text = ServerTextOf(name);
    ServerRecord record{name, "", "", ""};
    if (text.find(':') != std::string::npos) {
      const ServerEndpoint e = EndpointFromText(text, {});
      record.user = e.user;
      record.password = e.password;
      record.address = e.address;
    }
    servers.push_back(record);
  }
  return servers;
}

bool CUpdateSettings::SaveServers(const std::vector<ServerRecord>& servers) const {
  // Old names go first, so a deleted server leaves no stale value behind.
  for (const auto* subkey : {&kServer, &kServerList}) {
    CRegistry reg;
    if (reg.uOpenKey(corekit::kHKeyLocalMachine, (m_productKey + kUpdate).c_str())) {
      reg.DeleteKey(subkey->substr(kUpdate.size() + 1).c_str());
    }
  }
  EnsureKeys();
  bool ok = true;
  for (size_t i = 0; i < servers.size(); ++i) {
    const std::string name = nv::text::ToUpperAscii(servers[i].name);
    ok = Write(kServer, std::to_string(i + 1).c_str(), name) && ok;
    ok = Write(kServerList, name.c_str(), ServerText(servers[i])) && ok;
  }
  CRegistry reg;
  return reg.Connect(corekit::kHKeyLocalMachine) && reg.Create((m_productKey + kServerNum).c_str()) &&
         reg.SetValue("Count", static_cast<uint32_t>(servers.size())) && ok;
}

std::string CUpdateSettings::LastServerName() const {
  const std::string name = Read(kUpdate, "LServerName");
  return name.empty() ? kBuiltInServerName : name;
}

void CUpdateSettings::SetLastServerName(const std::string& name) const {
  Write(kUpdate, "LServerName", name);
}

void CUpdateSettings::SetCwd(const std::string& dir) const { Write(kUpdate, "cwd", dir); }

std::string CUpdateSettings::UpdatePublicKey() const { return Read(kUpdate, kUpdatePublicKeyValue); }

bool CUpdateSettings::RequireVerifiedUpdates() const {
  uint32_t value = 0;
  CRegistry reg;
  return reg.uOpenKey(corekit::kHKeyLocalMachine, (m_productKey + kUpdate).c_str()) &&
         reg.GetValue(kRequireVerifiedValue, value) && value != 0;
}

uint32_t CUpdateSettings::InstalledSequence() const {
  uint32_t value = 0;
  CRegistry reg;
  if (!reg.uOpenKey(corekit::kHKeyLocalMachine, (m_productKey + kUpdate).c_str()) ||
      !reg.GetValue(kSequenceValue, value))
    return 0;
  return value;
}

bool CUpdateSettings::SetInstalledSequence(uint32_t sequence) const {
  CRegistry reg;
  return reg.Connect(corekit::kHKeyLocalMachine) && reg.Create((m_productKey + kUpdate).c_str()) &&
         reg.SetValue(kSequenceValue, sequence);
}

}  // namespace nv::updater
