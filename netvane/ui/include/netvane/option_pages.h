// The decisions of the advanced option sheet's display, network and manage pages, without
// windows: what each page shows from the configuration, which controls are usable, and what
// Save writes into the options being built.  The sheet builds the new options apart from the
// ones in force (dwOpt starts with only the bits of pages that never opened; every opened page's
// Save adds its own, in tab order), stores them all or nothing, and only then are they in force;
// pages with a store of their own write it after that, as part of the same save.
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
inline constexpr uint32_t kDisplayPageBits = kOptShortcut | kOptDisplay | kOptVertical;
inline constexpr size_t kNetworkServerChars = 255;
inline constexpr int kMaxIdleChoices = 50;

// One page of the sheet as the sheet sees it.
class IOptionPage {
 public:
  virtual ~IOptionPage() = default;
  // Copies the page's state into the options being built.
  virtual void Save(OptionSettings& next) = 0;
  // The dwOpt bits the page edits; a page that never opened keeps them as they are.
  virtual uint32_t OptionBits() const { return 0; }
  // A page with a store of its own (printer table, folder guard) writes it here, after the
  // options were stored; false when that failed.
  virtual bool Commit() { return true; }
};

struct SheetPage {
  IOptionPage* page = nullptr;
  bool opened = false;  // its window opened, so its controls can be read
};

// The options the sheet saves: the ones in force, dwOpt reduced to the bits of pages that never
// opened, then every opened page's Save in the order given (the tab order).
OptionSettings BuildSheetOptions(const std::vector<SheetPage>& pages, const CCfginfo& cfg);
// Saves the sheet all or nothing: the built options (the store undoes a failed write and keeps
// the settings in force), then each opened page's own store; when one of those fails, the
// options saved before are put back.  False when the sheet's settings are not saved.
bool SaveSheet(const std::vector<SheetPage>& pages, CCfginfo& cfg);

// ---- display page ----
struct DisplayForm {
  std::string name[2];  // at most CCfginfo::kNetNameChars characters
  bool shortcut = false;
  bool display = false;
  bool vertical = false;
};
DisplayForm DisplayLoad(const CCfginfo& cfg);
void DisplaySave(const DisplayForm& form, OptionSettings& cfg);

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
void NetworkSave(const NetworkForm& form, OptionSettings& cfg);

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
void ManageSave(const ManageForm& form, const std::vector<std::string>& choices, OptionSettings& cfg);

}  // namespace nv::ui
