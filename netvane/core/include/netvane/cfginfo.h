// CCfginfo: the tray program's whole configuration, mirrored from the registry tree below
// HKEY_LOCAL_MACHINE\SOFTWARE\Tarn\Netvane-H, plus a few values derived at load time (the
// reverse flag, the schedule in milliseconds, the start network).  One object, owned by the
// application; every other part reads its fields directly.  All access goes through the one
// CRegistry it owns.
//
// Loading: an absent number keeps the field as it was (zero at first load; dwOpt becomes 11),
// an absent text reads as empty.  A value of the wrong type or size counts as absent, is
// traced and is left in the registry as it is.  Out-of-range numbers are brought into range.
// Saving is all or nothing: the values a save replaces are read first, and a save that fails
// part-way (traced) puts them back and removes the keys it created, so the store is as it was;
// the settings it was given are put in force (the fields) only after the whole save.  A network
// record that the last load did not read (no usable dwIPnum) is written only when the caller
// has changed it since, so a save never replaces stored records with empty ones.
// Network A is index 0, network B index 1.
#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "corekit/ini_file.h"
#include "corekit/os_version.h"
#include "corekit/registry.h"

// One network's TCP/IP settings.
struct NetCfgRecord {
  uint32_t IPAddr = 0;
  uint32_t NetMask = 0;
  uint32_t Gateway = 0;
  uint32_t dns[3] = {};
  uint32_t useDhcp = 0;      // 0 or 1 (dwFlags bit 0x10)
  uint32_t sameGateway = 0;  // 0 or 1 (dwFlags bit 0x01)
  std::string domain[3];
  std::string szNetDev;  // empty: the adapter is not configured yet
  std::string szBindName;
  std::array<uint8_t, 6> ucMacAddr = {};
};

bool operator==(const NetCfgRecord& a, const NetCfgRecord& b);
inline bool operator!=(const NetCfgRecord& a, const NetCfgRecord& b) { return !(a == b); }

// What the IP configuration dialogs save, built apart from the settings in force.
struct NetworkSettings {
  NetCfgRecord net[2];
  uint32_t dwIPnum = 0;
};

// What the option sheet saves (section AdOpt), built apart from the settings in force.
struct OptionSettings {
  uint32_t dwOpt = 0;
  uint32_t dwAutoChange = 0;
  uint32_t dwComport = 0;
  uint32_t dwAutoLogin = 0;
  std::string szNet[2];
  std::string szNetDrv[2];
};

class CCfginfo {
 public:
  static constexpr uint32_t kDefaultOpt = 11;
  static constexpr uint32_t kOptReverse = 0x10;
  static constexpr uint32_t kMaxComport = 5;
  static constexpr size_t kNetNameChars = 10;

  // Sets the keys from the product key path.
  CCfginfo();
  // The same on other registry primitives (tests inject failures this way).
  explicit CCfginfo(std::shared_ptr<corekit::RegistryApi> registry);
  CCfginfo(const CCfginfo&) = delete;
  CCfginfo& operator=(const CCfginfo&) = delete;

  // Base key = path; IPCfg key = path + "\IPCfg"; AdOpt key = path + "\AdOpt".
  void SetKeys(const std::string& basePath);

  // InstalledPath, UseLang (empty: the system language of `os`; always written back), UseDll,
  // username, then LoadTuning and LoadSchedule.
  void LoadBase(const COSversion& os);
  // The six dw... tuning values of the base key; closes the key afterwards.
  void LoadTuning();
  // The five AutoChange texts and the schedule derived from them.
  void LoadSchedule();
  // dwIPnum and, when it is 1 or 2, both network records.
  void LoadNetworks();
  // The advanced options and the network names (a missing name comes from the string file,
  // section "ADDisplay", key "szNet0"/"szNet1", else it is the key name itself).
  void LoadOptions(CIniFile& strings);
  void LoadAll(CIniFile& strings);

  // The settings in force, as the dialogs start from them.
  NetworkSettings Networks() const;
  OptionSettings Options() const;
  // RgSvcType (Windows 2000 and later only), dwIPnum and both records of `next`; then `next` is
  // in force.  False (and a trace line) when a key could not be opened or a value not written:
  // the store and the settings in force are then as they were.
  [[nodiscard]] bool SaveNetworks(const COSversion& os, const NetworkSettings& next);
  [[nodiscard]] bool SaveOptions(const OptionSettings& next);
  // The same with the settings in force.
  [[nodiscard]] bool SaveNetworks(const COSversion& os) { return SaveNetworks(os, Networks()); }
  [[nodiscard]] bool SaveOptions() { return SaveOptions(Options()); }
  // Status key: dwNet = network + 1.
  [[nodiscard]] bool SaveStatus(uint32_t network);

  // Today at start hour:start minute:00 local time; stored as nextStart and returned.
  time_t ComputeStartTime();
  time_t ComputeStartTime(time_t now);

  NetCfgRecord net[2];
  std::string szNet[2];
  uint32_t dwOpt = 0;
  uint32_t reverse = 0;  // 1 when dwOpt has 0x10
  uint32_t dwComport = 0;
  std::string szNetDrv[2];
  uint32_t dwAutoLogin = 0;
  uint32_t dwAutoChange = 0;
  uint32_t dwIPnum = 0;
  uint32_t dwPktCnt = 0;
  uint32_t dwPktDly = 0;
  uint32_t dwInterval = 0;
  uint32_t dwDebug = 0;
  uint32_t dwChngTimer = 0;
  uint32_t dwSilentChng = 0;
  std::string username;
  std::string InstalledPath;
  std::string UseLang;
  uint32_t scheduleOn = 0;
  uint32_t scheduleReserved[2] = {};  // zeroed with the schedule when it is off
  uint32_t scheduleInterval = 0;      // milliseconds
  uint32_t startNetwork = 0;          // 0 = network A
  uint32_t UseDll = 0;
  int32_t startHour = 0;
  int32_t startMinute = 0;
  int32_t startSecond = 0;
  std::string baseKey;
  std::string ipCfgKey;
  std::string adOptKey;
  CRegistry m_registry;
  time_t nextStart = 0;

 private:
  // Opens a key below HKEY_LOCAL_MACHINE for writing, creating it when it is missing.
  bool OpenForWriting(const std::string& path);
  std::string RecordKey(int index) const;
  // Reads one value of the open key; a value that is there but unusable is traced.
  template <typename T>
  int Read(const std::string& key, const char* name, T& field);
  bool SaveRecord(int index, const NetCfgRecord& rec);
  // One value of the open key `key`, its old value remembered for RollBack.
  template <typename T>
  bool WriteUndoable(const std::string& key, const char* name, const T& value);
  bool OpenForSaving(const std::string& path);
  void BeginSave();
  void RollBack();

  struct OldValue {
    std::string key;
    std::string name;
    bool existed = false;
    CRegistry::KeyValueTypes type = CRegistry::typeNone;
    std::vector<uint8_t> data;
  };
  std::vector<OldValue> m_oldValues;   // of the save under way, in the order written
  std::vector<std::string> m_newKeys;  // keys the save under way created

  // What a record held when the last load skipped it; empty once a load has read it.
  std::optional<NetCfgRecord> m_unloadedRecord[2];
};
