#include "netvane/cfginfo.h"

#include <algorithm>
#include <vector>

#include "config_text.h"
#include "corekit/debug.h"
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

}  // namespace

CCfginfo::CCfginfo() { SetKeys(nv::core::ProductKeyPath()); }

void CCfginfo::SetKeys(const std::string& basePath) {
  baseKey = basePath;
  ipCfgKey = basePath + "\\IPCfg";
  adOptKey = basePath + "\\AdOpt";
}

std::string CCfginfo::RecordKey(int index) const { return ipCfgKey + "\\info" + std::to_string(index); }

bool CCfginfo::OpenForWriting(const std::string& path) {
  if (m_registry.uOpenKey(kHKeyLocalMachine, path.c_str())) return true;
  return m_registry.Connect(kHKeyLocalMachine) && m_registry.Create(path.c_str());
}

// ---- loading ----

void CCfginfo::LoadBase(const COSversion& os) {
  m_registry.uOpenKey(kHKeyLocalMachine, baseKey.c_str());
  m_registry.GetValue("InstalledPath", InstalledPath);
  m_registry.GetValue("UseLang", UseLang);
  if (UseLang.empty()) UseLang = os.m_language;
  m_registry.SetValue("UseLang", UseLang);
  m_registry.GetValue("UseDll", UseDll);

  // The Windows 9x logon user; absent on NT.
  m_registry.uOpenKey(kHKeyLocalMachine, "Network\\Logon");
  m_registry.GetValue("username", username);

  LoadTuning();
  LoadSchedule();
}

void CCfginfo::LoadTuning() {
  m_registry.uOpenKey(kHKeyLocalMachine, baseKey.c_str());
  m_registry.GetValue("dwPktCnt", dwPktCnt);
  m_registry.GetValue("dwPktDly", dwPktDly);
  m_registry.GetValue("dwInterval", dwInterval);
  m_registry.GetValue("dwDebug", dwDebug);
  m_registry.GetValue("dwChngTimer", dwChngTimer);
  m_registry.GetValue("dwSilentChng", dwSilentChng);
  m_registry.Close();
}

void CCfginfo::LoadSchedule() {
  m_registry.uOpenKey(kHKeyLocalMachine, baseKey.c_str());
  std::string onOff, hour, minute, interval, network;
  m_registry.GetValue("AutoChangeOnOff", onOff);
  m_registry.GetValue("AutoChangeStartHour", hour);
  m_registry.GetValue("AutoChangeStartMinute", minute);
  m_registry.GetValue("AutoChangeInterval", interval);
  m_registry.GetValue("AutoChangeStartNetwork", network);

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
  m_registry.GetValue("dwIPnum", dwIPnum);
  if (dwIPnum < 1) dwIPnum = 0;
  if (dwIPnum > 2) dwIPnum = 2;
  CDebug::dprintf("CCfginfo: (%s) IPnum(%u)\n", ipCfgKey.c_str(), dwIPnum);
  if (dwIPnum == 0) return;

  for (int i = 0; i < 2; ++i) {
    NetCfgRecord& rec = net[i];
    m_registry.uOpenKey(kHKeyLocalMachine, RecordKey(i).c_str());
    uint32_t flags = (rec.useDhcp ? kFlagDhcp : 0) | (rec.sameGateway ? kFlagSameGateway : 0);
    m_registry.GetValue("dwFlags", flags);
    rec.useDhcp = (flags & kFlagDhcp) == kFlagDhcp ? 1 : 0;
    rec.sameGateway = (flags & kFlagSameGateway) == kFlagSameGateway ? 1 : 0;
    CDebug::dprintf("dflags(%u) DHCP(%u/%x) SameGw(%u/%x)\n", flags, rec.useDhcp, flags & kFlagDhcp,
                    rec.sameGateway, flags & kFlagSameGateway);

    std::vector<uint8_t> mac;
    if (m_registry.GetValue("ucMacAddr", mac)) {
      rec.ucMacAddr = {};
      if (mac.size() >= rec.ucMacAddr.size())
        std::copy_n(mac.begin(), rec.ucMacAddr.size(), rec.ucMacAddr.begin());
    }
    m_registry.GetValue("IPAddr", rec.IPAddr);
    m_registry.GetValue("NetMask", rec.NetMask);
    m_registry.GetValue("Gateway", rec.Gateway);
    for (int j = 0; j < 3; ++j) {
      m_registry.GetValue(Numbered("szDns", j).c_str(), rec.dns[j]);
      m_registry.GetValue(Numbered("szDomain", j).c_str(), rec.domain[j]);
    }
    m_registry.GetValue("szBindName", rec.szBindName);
    m_registry.GetValue("szNetDev", rec.szNetDev);
  }
}

void CCfginfo::LoadOptions(CIniFile& strings) {
  if (!m_registry.uOpenKey(kHKeyLocalMachine, adOptKey.c_str())) {
    m_registry.Connect(kHKeyLocalMachine);
    m_registry.Create(adOptKey.c_str());
  }
  m_registry.GetValue("dwOpt", dwOpt, kDefaultOpt);
  m_registry.GetValue("dwAutoChange", dwAutoChange);
  m_registry.GetValue("dwComport", dwComport);
  reverse = (dwOpt & kOptReverse) ? 1 : 0;
  if (dwComport > kMaxComport) dwComport = kMaxComport;
  m_registry.GetValue("dwAutoLogin", dwAutoLogin);

  for (int n = 0; n < 2; ++n) {
    const std::string key = Numbered("szNet", n);
    std::string name;
    m_registry.GetValue(key.c_str(), name);
    if (name.empty())
      name = strings.GetValue(nv::strings::kDefaultNetName[n].section, nv::strings::kDefaultNetName[n].key);
    if (name.empty()) name = key;
    szNet[n] = nv::core::FirstCharacters(name, kNetNameChars);
    m_registry.GetValue(Numbered("szNetDrv", n).c_str(), szNetDrv[n]);
  }
}

void CCfginfo::LoadAll(CIniFile& strings) {
  LoadNetworks();
  LoadOptions(strings);
}

// ---- saving ----

void CCfginfo::SaveNetworks(const COSversion& os) {
  if (os.isNT() && os.isNT5() && OpenForWriting(baseKey)) {
    m_registry.SetValue("RgSvcType", std::string("1"));
    m_registry.Close();
  }

  if (dwIPnum > 2) dwIPnum = 2;
  // A first save finds no IPCfg key yet; without it dwIPnum would be lost.
  if (OpenForWriting(ipCfgKey)) m_registry.SetValue("dwIPnum", dwIPnum);

  for (int i = 0; i < 2; ++i) {
    const NetCfgRecord& rec = net[i];
    if (!OpenForWriting(RecordKey(i))) continue;
    m_registry.SetValue("dwFlags",
                        (rec.useDhcp ? kFlagDhcp : 0u) | (rec.sameGateway ? kFlagSameGateway : 0u));
    m_registry.SetValue("IPAddr", rec.IPAddr);
    m_registry.SetValue("NetMask", rec.NetMask);
    m_registry.SetValue("Gateway", rec.Gateway);
    m_registry.SetValue("ucMacAddr", std::vector<uint8_t>(rec.ucMacAddr.begin(), rec.ucMacAddr.end()));
    for (int j = 0; j < 3; ++j) {
      m_registry.SetValue(Numbered("szDns", j).c_str(), rec.dns[j]);
      m_registry.SetValue(Numbered("szDomain", j).c_str(), rec.domain[j]);
    }
    m_registry.SetValue("szBindName", rec.szBindName);
    m_registry.SetValue("szNetDev", rec.szNetDev);
  }
}

void CCfginfo::SaveOptions() {
  if (!OpenForWriting(adOptKey)) return;
  m_registry.SetValue("dwOpt", dwOpt);
  m_registry.SetValue("dwAutoChange", dwAutoChange);
  m_registry.SetValue("dwComport", dwComport);
  m_registry.SetValue("dwAutoLogin", dwAutoLogin);
  for (int n = 0; n < 2; ++n) {
    m_registry.SetValue(Numbered("szNet", n).c_str(), szNet[n]);
    m_registry.SetValue(Numbered("szNetDrv", n).c_str(), szNetDrv[n]);
  }
}

void CCfginfo::SaveStatus(uint32_t network) {
  if (OpenForWriting(baseKey + "\\Status")) m_registry.SetValue("dwNet", network + 1);
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
