#include "netvane/cfginfo.h"

#include <algorithm>
#include <vector>

#include "config_text.h"
#include "corekit/debug.h"
#include "corekit/win32_error_codes.h"
#include "netvane/product_key.h"
#include "netvane/string_keys.h"
#include "platform/local_time.h"
#include "platform/text.h"

using corekit::kHKeyLocalMachine;

namespace {

constexpr uint32_t kFlagDhcp = 0x10;
constexpr uint32_t kFlagSameGateway = 0x01;
// The schedule interval is kept in milliseconds in 32 bits.
constexpr uint32_t kMaxIntervalMinutes = UINT32_MAX / 60000;

std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

int32_t Clamp(uint32_t value, int32_t highest) {
  return value > static_cast<uint32_t>(highest) ? highest : static_cast<int32_t>(value);
}

// Writes one value of the open key; a failure is traced with the key and the error.
template <typename T>
bool Write(CRegistry& registry, const std::string& key, const char* name, const T& value) {
  if (registry.SetValue(name, value)) return true;
  CDebug::dprintf("CCfginfo: cannot write %s\\%s (error %d)\n", key.c_str(), name,
                  static_cast<int>(registry.GetErrorCode()));
  return false;
}

}  // namespace

bool operator==(const NetCfgRecord& a, const NetCfgRecord& b) {
  return a.IPAddr == b.IPAddr && a.NetMask == b.NetMask && a.Gateway == b.Gateway &&
         std::equal(std::begin(a.dns), std::end(a.dns), std::begin(b.dns)) && a.useDhcp == b.useDhcp &&
         a.sameGateway == b.sameGateway &&
         std::equal(std::begin(a.domain), std::end(a.domain), std::begin(b.domain)) &&
         a.szNetDev == b.szNetDev && a.szBindName == b.szBindName && a.ucMacAddr == b.ucMacAddr;
}

CCfginfo::CCfginfo() { SetKeys(nv::core::ProductKeyPath()); }

CCfginfo::CCfginfo(std::shared_ptr<corekit::RegistryApi> registry) : m_registry(std::move(registry)) {
  SetKeys(nv::core::ProductKeyPath());
}

void CCfginfo::SetKeys(const std::string& basePath) {
  baseKey = basePath;
  ipCfgKey = basePath + "\\IPCfg";
  adOptKey = basePath + "\\AdOpt";
}

std::string CCfginfo::RecordKey(int index) const { return ipCfgKey + "\\info" + std::to_string(index); }

bool CCfginfo::OpenForWriting(const std::string& path) {
  if (m_registry.uOpenKey(kHKeyLocalMachine, path.c_str())) return true;
  if (m_registry.Connect(kHKeyLocalMachine) && m_registry.Create(path.c_str())) return true;
  CDebug::dprintf("CCfginfo: cannot open %s for writing (error %d)\n", path.c_str(),
                  static_cast<int>(m_registry.GetErrorCode()));
  return false;
}

template <typename T>
int CCfginfo::Read(const std::string& key, const char* name, T& field) {
  const int ok = m_registry.GetValue(name, field);
  const int32_t code = m_registry.GetErrorCode();
  // Missing values are the normal state of a fresh installation; anything else is worth a line.
  if (!ok && code != corekit::win32_error::kFileNotFound)
    CDebug::dprintf("CCfginfo: %s\\%s unreadable (error %d), taken as absent\n", key.c_str(), name,
                    static_cast<int>(code));
  return ok;
}

// ---- loading ----

void CCfginfo::LoadBase(const COSversion& os) {
  m_registry.uOpenKey(kHKeyLocalMachine, baseKey.c_str());
  Read(baseKey, "InstalledPath", InstalledPath);
  Read(baseKey, "UseLang", UseLang);
  if (UseLang.empty()) UseLang = os.m_language;
  Write(m_registry, baseKey, "UseLang", UseLang);
  Read(baseKey, "UseDll", UseDll);

  // The Windows 9x logon user; absent on NT.
  const std::string logonKey = "Network\\Logon";
  m_registry.uOpenKey(kHKeyLocalMachine, logonKey.c_str());
  Read(logonKey, "username", username);

  LoadTuning();
  LoadSchedule();
}

void CCfginfo::LoadTuning() {
  m_registry.uOpenKey(kHKeyLocalMachine, baseKey.c_str());
  Read(baseKey, "dwPktCnt", dwPktCnt);
  Read(baseKey, "dwPktDly", dwPktDly);
  Read(baseKey, "dwInterval", dwInterval);
  Read(baseKey, "dwDebug", dwDebug);
  Read(baseKey, "dwChngTimer", dwChngTimer);
  Read(baseKey, "dwSilentChng", dwSilentChng);
  m_registry.Close();
}

void CCfginfo::LoadSchedule() {
  m_registry.uOpenKey(kHKeyLocalMachine, baseKey.c_str());
  std::string onOff, hour, minute, interval, network;
  Read(baseKey, "AutoChangeOnOff", onOff);
  Read(baseKey, "AutoChangeStartHour", hour);
  Read(baseKey, "AutoChangeStartMinute", minute);
  Read(baseKey, "AutoChangeInterval", interval);
  Read(baseKey, "AutoChangeStartNetwork", network);

  if (nv::text::ToUpperAscii(onOff) == "ON") {
    scheduleOn = 1;
    // Hours and minutes beyond the clock are taken as its last one.
    startHour = Clamp(nv::core::LeadingDecimal(hour), 23);
    startMinute = Clamp(nv::core::LeadingDecimal(minute), 59);
    startSecond = 0;
    uint32_t minutes = nv::core::LeadingDecimal(interval);
    if (minutes > kMaxIntervalMinutes) minutes = kMaxIntervalMinutes;
    scheduleInterval = minutes * 60000;
  } else {
    scheduleOn = 0;
    scheduleReserved[0] = scheduleReserved[1] = 0;
    scheduleInterval = 0;
  }
  startNetwork = nv::text::ToUpperAscii(network) == "INTRANET" ? 0 : 1;
}

void CCfginfo::LoadNetworks() {
  m_registry.uOpenKey(kHKeyLocalMachine, ipCfgKey.c_str());
  Read(ipCfgKey, "dwIPnum", dwIPnum);
  if (dwIPnum < 1) dwIPnum = 0;
  if (dwIPnum > 2) dwIPnum = 2;
  CDebug::dprintf("CCfginfo: (%s) IPnum(%u)\n", ipCfgKey.c_str(), dwIPnum);
  if (dwIPnum == 0) {
    // Remember what the records held, so that a save cannot blank the stored ones.
    CDebug::dprintf("CCfginfo: no network count: records not loaded, a save keeps them unless changed\n");
    for (int i = 0; i < 2; ++i) m_unloadedRecord[i] = net[i];
    return;
  }

  for (int i = 0; i < 2; ++i) {
    NetCfgRecord& rec = net[i];
    const std::string key = RecordKey(i);
    if (!m_registry.uOpenKey(kHKeyLocalMachine, key.c_str())) {
      // A one-network set-up may never have written record B.
      CDebug::dprintf("CCfginfo: %s not there (error %d): record not loaded\n", key.c_str(),
                      static_cast<int>(m_registry.GetErrorCode()));
      m_unloadedRecord[i] = rec;
      continue;
    }
    uint32_t flags = (rec.useDhcp ? kFlagDhcp : 0) | (rec.sameGateway ? kFlagSameGateway : 0);
    Read(key, "dwFlags", flags);
    rec.useDhcp = (flags & kFlagDhcp) == kFlagDhcp ? 1 : 0;
    rec.sameGateway = (flags & kFlagSameGateway) == kFlagSameGateway ? 1 : 0;
    CDebug::dprintf("dflags(%u) DHCP(%u/%x) SameGw(%u/%x)\n", flags, rec.useDhcp, flags & kFlagDhcp,
                    rec.sameGateway, flags & kFlagSameGateway);

    std::vector<uint8_t> mac;
    if (Read(key, "ucMacAddr", mac)) {
      // Any other size is not an adapter address: it counts as absent.
      if (mac.size() == rec.ucMacAddr.size()) {
        std::copy(mac.begin(), mac.end(), rec.ucMacAddr.begin());
      } else {
        CDebug::dprintf("CCfginfo: %s\\ucMacAddr has %u bytes, not 6, taken as absent\n", key.c_str(),
                        static_cast<unsigned>(mac.size()));
      }
    }
    Read(key, "IPAddr", rec.IPAddr);
    Read(key, "NetMask", rec.NetMask);
    Read(key, "Gateway", rec.Gateway);
    for (int j = 0; j < 3; ++j) {
      Read(key, Numbered("szDns", j).c_str(), rec.dns[j]);
      Read(key, Numbered("szDomain", j).c_str(), rec.domain[j]);
    }
    Read(key, "szBindName", rec.szBindName);
    Read(key, "szNetDev", rec.szNetDev);
    m_unloadedRecord[i].reset();
  }
}

void CCfginfo::LoadOptions(CIniFile& strings) {
  if (!m_registry.uOpenKey(kHKeyLocalMachine, adOptKey.c_str())) OpenForWriting(adOptKey);
  if (!Read(adOptKey, "dwOpt", dwOpt)) {
    // Only a missing word is stored as the default; a broken one stays for someone to look at.
    const bool missing = m_registry.GetErrorCode() == corekit::win32_error::kFileNotFound;
    dwOpt = kDefaultOpt;
    if (missing) Write(m_registry, adOptKey, "dwOpt", dwOpt);
  }
  Read(adOptKey, "dwAutoChange", dwAutoChange);
  Read(adOptKey, "dwComport", dwComport);
  reverse = (dwOpt & kOptReverse) ? 1 : 0;
  if (dwComport > kMaxComport) dwComport = kMaxComport;
  Read(adOptKey, "dwAutoLogin", dwAutoLogin);

  for (int n = 0; n < 2; ++n) {
    const std::string key = Numbered("szNet", n);
    std::string name;
    Read(adOptKey, key.c_str(), name);
    if (name.empty())
      name = strings.GetValue(nv::strings::kDefaultNetName[n].section, nv::strings::kDefaultNetName[n].key);
    if (name.empty()) name = key;
    szNet[n] = nv::core::FirstCharacters(name, kNetNameChars);
    Read(adOptKey, Numbered("szNetDrv", n).c_str(), szNetDrv[n]);
  }
}

void CCfginfo::LoadAll(CIniFile& strings) {
  LoadNetworks();
  LoadOptions(strings);
}

// ---- saving ----

NetworkSettings CCfginfo::Networks() const {
  NetworkSettings settings;
  settings.net[0] = net[0];
  settings.net[1] = net[1];
  settings.dwIPnum = dwIPnum;
  return settings;
}

OptionSettings CCfginfo::Options() const {
  OptionSettings settings;
  settings.dwOpt = dwOpt;
  settings.dwAutoChange = dwAutoChange;
  settings.dwComport = dwComport;
  settings.dwAutoLogin = dwAutoLogin;
  for (int n = 0; n < 2; ++n) {
    settings.szNet[n] = szNet[n];
    settings.szNetDrv[n] = szNetDrv[n];
  }
  return settings;
}

void CCfginfo::BeginSave() {
  m_oldValues.clear();
  m_newKeys.clear();
}

bool CCfginfo::OpenForSaving(const std::string& path) {
  if (m_registry.uOpenKey(kHKeyLocalMachine, path.c_str())) return true;
  CRegistry::CreationDisposition disposition = CRegistry::dispositionOpenedExistingKey;
  if (m_registry.Connect(kHKeyLocalMachine) &&
      m_registry.Create(path.c_str(), nullptr, CRegistry::optionsNonVolatile, CRegistry::permissionAllAccess,
                        nullptr, &disposition)) {
    if (disposition == CRegistry::dispositionCreatedNewKey) m_newKeys.push_back(path);
    return true;
  }
  CDebug::dprintf("CCfginfo: cannot open %s for writing (error %d)\n", path.c_str(),
                  static_cast<int>(m_registry.GetErrorCode()));
  return false;
}

template <typename T>
bool CCfginfo::WriteUndoable(const std::string& key, const char* name, const T& value) {
  OldValue old;
  old.key = key;
  old.name = name;
  // Whatever is stored, however long, is read whole: it must be put back byte for byte.
  std::vector<uint8_t> buffer(4096);
  CRegistry::KeyValueTypes type = CRegistry::typeNone;
  uint32_t size = 0;
  bool read = false;
  while (true) {
    size = static_cast<uint32_t>(buffer.size());
    read = m_registry.QueryValue(name, type, buffer.data(), size) != 0;
    if (read || m_registry.GetErrorCode() != corekit::win32_error::kMoreData || buffer.size() >= (1u << 24))
      break;
    buffer.resize(buffer.size() * 4);
  }
  if (read) {
    old.existed = true;
    old.type = type;
    old.data.assign(buffer.begin(), buffer.begin() + size);
  } else if (m_registry.GetErrorCode() != corekit::win32_error::kFileNotFound) {
    // What is there could not be read, so it could not be put back: leave it alone.
    CDebug::dprintf("CCfginfo: %s\\%s unreadable before saving (error %d)\n", key.c_str(), name,
                    static_cast<int>(m_registry.GetErrorCode()));
    return false;
  }
  m_oldValues.push_back(std::move(old));
  return Write(m_registry, key, name, value);
}

void CCfginfo::RollBack() {
  for (auto it = m_oldValues.rbegin(); it != m_oldValues.rend(); ++it) {
    bool ok = m_registry.uOpenKey(kHKeyLocalMachine, it->key.c_str()) != 0;
    if (ok && it->existed) {
      ok = m_registry.SetValue(it->name.c_str(), it->type, it->data.data(),
                               static_cast<uint32_t>(it->data.size()));
    } else if (ok) {
      ok = m_registry.DeleteValue(it->name.c_str()) != 0 ||
           m_registry.GetErrorCode() == corekit::win32_error::kFileNotFound;
    }
    if (!ok)
      CDebug::dprintf("CCfginfo: %s\\%s could not be put back (error %d)\n", it->key.c_str(),
                      it->name.c_str(), static_cast<int>(m_registry.GetErrorCode()));
  }
  for (auto it = m_newKeys.rbegin(); it != m_newKeys.rend(); ++it) {
    m_registry.Close();
    if (!m_registry.Connect(kHKeyLocalMachine) || !m_registry.DeleteKey(it->c_str()))
      CDebug::dprintf("CCfginfo: created key %s could not be removed (error %d)\n", it->c_str(),
                      static_cast<int>(m_registry.GetErrorCode()));
  }
  m_registry.Close();
  CDebug::dprintf("CCfginfo: save undone (%d values, %d keys)\n", static_cast<int>(m_oldValues.size()),
                  static_cast<int>(m_newKeys.size()));
  BeginSave();
}

bool CCfginfo::SaveNetworks(const COSversion& os, const NetworkSettings& next) {
  BeginSave();
  const uint32_t count = next.dwIPnum > 2 ? 2 : next.dwIPnum;
  bool ok = true;
  if (os.isNT() && os.isNT5()) {
    ok = OpenForSaving(baseKey) && WriteUndoable(baseKey, "RgSvcType", std::string("1"));
    m_registry.Close();
  }
  // A first save finds no IPCfg key yet; without it dwIPnum would be lost.
  ok = ok && OpenForSaving(ipCfgKey) && WriteUndoable(ipCfgKey, "dwIPnum", count);
  ok = ok && SaveRecord(0, next.net[0]) && SaveRecord(1, next.net[1]);
  if (!ok) {
    RollBack();
    return false;
  }
  m_registry.Close();
  // Written whole: from now on the stored records are these.
  for (int n = 0; n < 2; ++n) {
    if (!m_unloadedRecord[n] || *m_unloadedRecord[n] != next.net[n]) m_unloadedRecord[n].reset();
    net[n] = next.net[n];
  }
  dwIPnum = count;
  BeginSave();
  return true;
}

bool CCfginfo::SaveRecord(int index, const NetCfgRecord& rec) {
  const std::string key = RecordKey(index);
  if (m_unloadedRecord[index] && *m_unloadedRecord[index] == rec) {
    CDebug::dprintf("CCfginfo: %s was not loaded and is unchanged: left as stored\n", key.c_str());
    return true;
  }
  if (!OpenForSaving(key)) return false;
  const uint32_t flags = (rec.useDhcp ? kFlagDhcp : 0u) | (rec.sameGateway ? kFlagSameGateway : 0u);
  bool ok = WriteUndoable(key, "dwFlags", flags) && WriteUndoable(key, "IPAddr", rec.IPAddr) &&
            WriteUndoable(key, "NetMask", rec.NetMask) && WriteUndoable(key, "Gateway", rec.Gateway) &&
            WriteUndoable(key, "ucMacAddr", std::vector<uint8_t>(rec.ucMacAddr.begin(), rec.ucMacAddr.end()));
  for (int j = 0; j < 3 && ok; ++j) {
    ok = WriteUndoable(key, Numbered("szDns", j).c_str(), rec.dns[j]) &&
         WriteUndoable(key, Numbered("szDomain", j).c_str(), rec.domain[j]);
  }
  return ok && WriteUndoable(key, "szBindName", rec.szBindName) &&
         WriteUndoable(key, "szNetDev", rec.szNetDev);
}

bool CCfginfo::SaveOptions(const OptionSettings& next) {
  BeginSave();
  bool ok = OpenForSaving(adOptKey) && WriteUndoable(adOptKey, "dwOpt", next.dwOpt) &&
            WriteUndoable(adOptKey, "dwAutoChange", next.dwAutoChange) &&
            WriteUndoable(adOptKey, "dwComport", next.dwComport) &&
            WriteUndoable(adOptKey, "dwAutoLogin", next.dwAutoLogin);
  for (int n = 0; n < 2 && ok; ++n) {
    ok = WriteUndoable(adOptKey, Numbered("szNet", n).c_str(), next.szNet[n]) &&
         WriteUndoable(adOptKey, Numbered("szNetDrv", n).c_str(), next.szNetDrv[n]);
  }
  if (!ok) {
    RollBack();
    return false;
  }
  m_registry.Close();
  BeginSave();
  dwOpt = next.dwOpt;
  reverse = (dwOpt & kOptReverse) ? 1 : 0;
  dwAutoChange = next.dwAutoChange;
  dwComport = next.dwComport > kMaxComport ? kMaxComport : next.dwComport;
  dwAutoLogin = next.dwAutoLogin;
  for (int n = 0; n < 2; ++n) {
    szNet[n] = next.szNet[n];
    szNetDrv[n] = next.szNetDrv[n];
  }
  return true;
}

bool CCfginfo::SaveStatus(uint32_t network) {
  const std::string key = baseKey + "\\Status";
  return OpenForWriting(key) && Write(m_registry, key, "dwNet", network + 1);
}

// ---- schedule ----

time_t CCfginfo::ComputeStartTime() { return ComputeStartTime(std::time(nullptr)); }

time_t CCfginfo::ComputeStartTime(time_t now) {
  std::tm local{};
  if (!nv::ToLocalTime(now, local)) return nextStart;
  local.tm_hour = startHour;
  local.tm_min = startMinute;
  local.tm_sec = 0;
  local.tm_isdst = -1;  // daylight saving as it applies at that hour
  nextStart = std::mktime(&local);
  return nextStart;
}
