#include "netvane/option_pages.h"

#include "corekit/debug.h"
#include "netvane/config_text.h"

namespace nv::ui {

OptionSettings BuildSheetOptions(const std::vector<SheetPage>& pages, const CCfginfo& cfg) {
  OptionSettings next = cfg.Options();
  uint32_t kept = 0;
  for (const SheetPage& p : pages)
    if (p.page != nullptr && !p.opened) kept |= p.page->OptionBits();
  next.dwOpt = cfg.dwOpt & kept;
  for (const SheetPage& p : pages)
    if (p.page != nullptr && p.opened) p.page->Save(next);
  return next;
}

bool SaveSheet(const std::vector<SheetPage>& pages, CCfginfo& cfg) {
  const OptionSettings before = cfg.Options();
  if (!cfg.SaveOptions(BuildSheetOptions(pages, cfg))) return false;
  for (const SheetPage& p : pages) {
    if (p.page == nullptr || !p.opened || p.page->Commit()) continue;
    // The options are stored already: put the ones in force before back.
    if (!cfg.SaveOptions(before)) CDebug::dprintf("SaveSheet: the options before could not be put back\n");
    return false;
  }
  return true;
}

DisplayForm DisplayLoad(const CCfginfo& cfg) {
  DisplayForm form;
  for (int n = 0; n < 2; ++n) form.name[n] = nv::core::FirstCharacters(cfg.szNet[n], CCfginfo::kNetNameChars);
  form.shortcut = (cfg.dwOpt & kOptShortcut) != 0;
  form.display = (cfg.dwOpt & kOptDisplay) != 0;
  form.vertical = (cfg.dwOpt & kOptVertical) != 0;
  return form;
}

void DisplaySave(const DisplayForm& form, OptionSettings& cfg) {
  for (int n = 0; n < 2; ++n) cfg.szNet[n] = nv::core::FirstCharacters(form.name[n], CCfginfo::kNetNameChars);
  if (form.shortcut) cfg.dwOpt |= kOptShortcut;
  if (form.display) cfg.dwOpt |= kOptDisplay;
  if (form.vertical) cfg.dwOpt |= kOptVertical;
}

NetworkForm NetworkLoad(const CCfginfo& cfg) {
  NetworkForm form;
  form.comport = cfg.dwComport <= 4 ? static_cast<int>(cfg.dwComport) : -1;
  for (int n = 0; n < 2; ++n) {
    // A stored server text means NetWare is in use on that network: its box starts ticked, so
    // the fields it enables and the box agree, and unticking it is how NetWare is turned off.
    form.useNetware[n] = !cfg.szNetDrv[n].empty();
    form.server[n] = cfg.szNetDrv[n];
    form.autoLogin[n] = form.useNetware[n] && (cfg.dwAutoLogin & (1u << n)) != 0;
  }
  form.reverse = (cfg.dwOpt & kOptReverse) != 0;
  return form;
}

void NetworkSave(const NetworkForm& form, OptionSettings& cfg) {
  if (form.comport >= 0 && form.comport <= 4) cfg.dwComport = static_cast<uint32_t>(form.comport);
  for (int n = 0; n < 2; ++n) {
    const uint32_t bit = 1u << n;
    if (form.useNetware[n]) {
      cfg.szNetDrv[n] = nv::core::FirstCharacters(form.server[n], kNetworkServerChars);
      cfg.dwAutoLogin = form.autoLogin[n] ? (cfg.dwAutoLogin | bit) : (cfg.dwAutoLogin & ~bit);
    } else {
      cfg.szNetDrv[n].clear();
      cfg.dwAutoLogin &= ~bit;
    }
  }
  if (form.reverse) cfg.dwOpt |= kOptReverse;
}

std::vector<std::string> IdleChoices(const IntegerSource& read) {
  int count = read("nTmCnt");
  if (count > kMaxIdleChoices) count = kMaxIdleChoices;
  std::vector<std::string> choices;
  for (int i = 0; i < count; ++i) {
    const int minutes = read("nTime" + std::to_string(i));
    choices.push_back(std::to_string(minutes > 0 ? minutes : 10 * (i + 1)));
  }
  return choices;
}

ManageForm ManageLoad(const CCfginfo& cfg, const std::vector<std::string>& choices) {
  ManageForm form;
  form.logOn = (cfg.dwOpt & kOptLog) != 0;
  form.idleOn = cfg.dwAutoChange != 0;
  if (!form.idleOn) return form;
  const std::string wanted = std::to_string(cfg.dwAutoChange);
  form.choice = choices.empty() ? -1 : 0;
  for (size_t i = 0; i < choices.size(); ++i) {
    if (choices[i].compare(0, wanted.size(), wanted) == 0) {
      form.choice = static_cast<int>(i);
      break;
    }
  }
  return form;
}

void ManageSave(const ManageForm& form, const std::vector<std::string>& choices, OptionSettings& cfg) {
  if (form.idleOn) {
    const size_t index = form.choice >= 0 && static_cast<size_t>(form.choice) < choices.size()
                             ? static_cast<size_t>(form.choice)
                             : 0;
    cfg.dwAutoChange = index < choices.size() ? nv::core::LeadingDecimal(choices[index]) : 0;
  } else {
    cfg.dwAutoChange = 0;
  }
  if (form.logOn)
    cfg.dwOpt |= kOptLog;
  else
    cfg.dwOpt &= ~kOptLog;
}

}  // namespace nv::ui
