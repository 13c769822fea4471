// The decisions of the advanced option sheet's display, network and manage pages, without
// windows: what each page shows from the configuration, which controls are usable, and what
// Save writes back.  The sheet clears dwOpt and calls every page's Save in tab order, so each
// page adds only its own bits; saving to the registry happens once, after the last page.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "netvane/cfginfo.h"

namespace nv::ui {

inline constexpr uint32_t kOptShortcut = 0x01;  // desktop shortcut named after the network
inline constexpr uint32_t kOptDisplay = 0x02;   // network name on the desktop
inline constexpr uint32_t kOptLog = 0x04;
inline constexpr uint32_t kOptVertical = 0x08;
inline constexpr uint32_t kOptReverse = 0x10;
inline constexpr size_t kNetworkServerChars = 255;
inline constexpr int kMaxIdleChoices = 50;

// One page of the sheet as the sheet sees it: Save copies the page's state into `cfg`.
class IOptionPage {
 public:
  virtual ~IOptionPage() = default;
  virtual void Save(CCfginfo& cfg) = 0;
};

// dwOpt = 0, then every page's Save in the order given (the tab order).
void SaveOptionPages(const std::vector<IOptionPage*>& pages, CCfginfo& cfg);

// ---- display page ----
struct DisplayForm {
  std::string name[2];  // at most CCfginfo::kNetNameChars characters
  bool shortcut = false;
  bool display = false;
  bool vertical = false;
};
DisplayForm DisplayLoad(const CCfginfo& cfg);
void DisplaySave(const DisplayForm& form, CCfginfo& cfg);

// ---- network page ----
struct NetworkForm {
  int comport = -1;  // index of the checked control-port radio; -1: none checked
  bool useNetware[2] = {};
  std::string server[2];
  bool autoLogin[2] = {};
  bool reverse = false;
};
NetworkForm NetworkLoad(const CCfginfo& cfg);
// A network's server field and auto-login box are usable while its NetWare box is ticked.
inline bool NetworkServerEnabled(const NetworkForm& form, int n) { return form.useNetware[n]; }
void NetworkSave(const NetworkForm& form, CCfginfo& cfg);

// ---- manage page ----
// Reads an integer of section ADManage by key (0 when absent).
using IntegerSource = std::function<int(const std::string& key)>;
// The idle-minute choices: nTmCnt entries (at most 50) from nTime0.., 10 * (i + 1) for an entry
// missing or not above 0.
std::vector<std::string> IdleChoices(const IntegerSource& read);

struct ManageForm {
  bool idleOn = false;
  int choice = -1;  // selected combo entry; -1: none
  bool logOn = false;
};
ManageForm ManageLoad(const CCfginfo& cfg, const std::vector<std::string>& choices);
// The minutes combo is usable only with the idle return on.
inline bool ManageChoicesEnabled(const ManageForm& form) { return form.idleOn; }
void ManageSave(const ManageForm& form, const std::vector<std::string>& choices, CCfginfo& cfg);

}  // namespace nv::ui
