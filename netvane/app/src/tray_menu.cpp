#include "tray_menu.h"

#include "corekit/ini_file.h"

namespace nv::app {

std::vector<TrayMenuEntry> ReadTrayMenu(CIniFile& strings) {
  std::vector<TrayMenuEntry> menu;
  menu.reserve(kTrayMenu.size());
  for (const TrayCommand& item : kTrayMenu) {
    TrayMenuEntry entry;
    entry.command = item.command;
    if (item.text != nullptr)
      entry.text = strings.GetValue(item.text->section, item.text->key, item.text->resourceId);
    menu.push_back(std::move(entry));
  }
  return menu;
}

}  // namespace nv::app
