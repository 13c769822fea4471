// The option sheet's folder picker in a process of the console user's when the tray program runs
// with another token (see ChooseFolder), and that process's side: the tray program started with
// the picker switch.
#pragma once
#include <optional>
#include <string>

#include "platform/windows_api.h"

namespace nv::app {

// The sheet's chooser for the tray program.
std::optional<std::string> PickFolderForTray(HWND owner, const std::string& title);

// With the picker switch on the command line: shows only the picker, writes the chosen folder to
// standard output and gives the exit status (0 chosen, 1 nothing chosen, 2 a malformed switch).
// Without it: nothing, and the tray program starts as usual.
std::optional<int> RunFolderPickerSwitch();

}  // namespace nv::app
