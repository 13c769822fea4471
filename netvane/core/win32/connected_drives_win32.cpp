#include "platform/windows_api.h"
// winnetwk.h after the windows.h types.
#include <winnetwk.h>

#include "netvane/isolation_step.h"
#include "platform/text.h"

namespace nv::core {

std::vector<std::string> ConnectedDriveLetters(const std::vector<std::string>& drives) {
  std::vector<std::string> connected;
  for (const std::string& drive : drives) {
    wchar_t remote[1024];
    DWORD length = static_cast<DWORD>(std::size(remote));
    // Connected, or remembered but currently unavailable: either way still bound to the letter.
    const DWORD err = ::WNetGetConnectionW(nv::text::Widen(drive).c_str(), remote, &length);
    if (err == NO_ERROR || err == ERROR_CONNECTION_UNAVAIL || err == ERROR_MORE_DATA)
      connected.push_back(drive);
  }
  return connected;
}

}  // namespace nv::core
