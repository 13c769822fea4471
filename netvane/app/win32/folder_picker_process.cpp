#include "folder_picker_process.h"

#include <shellapi.h>

#include "corekit/debug.h"
#include "netvane/win32/ad_pages.h"
#include "platform/text.h"
#include "program_starter_win32.h"

namespace nv::app {

std::optional<std::string> PickFolderForTray(HWND owner, const std::string& title) {
  wchar_t self[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
  return ChooseFolder(PlatformProgramStarter(), nv::text::Narrow(std::wstring_view(self, length)), title,
                      owner, [owner](const std::string& t) { return nv::ui::PickFolder(owner, t); });
}

std::optional<int> RunFolderPickerSwitch() {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr) return std::nullopt;
  const std::string argument = count >= 2 ? nv::text::Narrow(arguments[1]) : std::string();
  ::LocalFree(arguments);
  const std::string prefix = kPickFolderSwitch;
  if (!nv::text::EqualsNoCase(argument.substr(0, prefix.size()), prefix)) return std::nullopt;
  const std::optional<std::string> title = PickFolderTitle(argument);
  if (!title) return 2;
  const std::optional<std::string> folder = nv::ui::PickFolder(nullptr, *title);
  if (!folder || folder->empty()) return 1;
  const std::string line = *folder + "\n";
  DWORD written = 0;
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE ||
      !::WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
      written != line.size()) {
    CDebug::dprintf("Folder picker: the chosen folder could not be handed back (%lu)\n", ::GetLastError());
    return 1;
  }
  return 0;
}

}  // namespace nv::app
