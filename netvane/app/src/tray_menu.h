// The tray icon's popup menu: seven commands in a fixed order with separators between the
// groups; the change command is the default item, so the tray's default action is a change.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "netvane/string_keys.h"

class CIniFile;

namespace nv::app {

struct TrayCommand {
  unsigned command;       // 0: separator
  const StringKey* text;  // section "PopupINF", with the string resource used when the file has none
};

inline constexpr std::array<TrayCommand, 10> kTrayMenu = {{
    {5001, &nv::strings::kMnAbout},
    {5002, &nv::strings::kMnUpdate},
    {0, nullptr},
    {5003, &nv::strings::kMnChange},
    {0, nullptr},
    {5004, &nv::strings::kMnConfig},
    {5005, &nv::strings::kMnADconfig},
    {5006, &nv::strings::kMnHelp},
    {0, nullptr},
    {5007, &nv::strings::kMnExit},
}};
inline constexpr unsigned kDefaultMenuPosition = 3;

struct TrayMenuEntry {
  unsigned command = 0;  // 0: separator
  std::string text;
};

// The menu with its texts from section "PopupINF" of the string file.
std::vector<TrayMenuEntry> ReadTrayMenu(CIniFile& strings);

}  // namespace nv::app
