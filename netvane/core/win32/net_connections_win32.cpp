#include <string>

#include "corekit/debug.h"
#include "corekit/psapi.h"
#include "netvane/drive_letters.h"
#include "netvane/drive_platform.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
#include "platform/windows_api.h"

#include <winnetwk.h>  // after windows.h, which it needs

namespace nv::core {
namespace {

constexpr unsigned long kNetCommandWaitMs = 10000;

class SystemNetConnections final : public INetConnections {
 public:
  int32_t Cancel(const std::string& drive) override {
    const DWORD code = ::WNetCancelConnection2W(nv::text::Widen(drive).c_str(), CONNECT_UPDATE_PROFILE, TRUE);
    CDebug::dprintf("CancelDrive %s: %lu\n", drive.c_str(), code);
    return static_cast<int32_t>(code);
  }

  bool CancelWithNetCommand(const std::string& drive) override {
    CPSAPI helper;
    return helper.WinAppExec("net.exe", "use " + drive + " /delete", false, kNetCommandWaitMs) != 0;
  }

  // HKEY_CURRENT_USER stays the process's own hive while a thread impersonates; the hive of the
  // user this thread acts as comes from RegOpenCurrentUser.
  int32_t ForgetPersistent(const std::string& drive) override {
    if (!IsDriveName(drive)) return ERROR_INVALID_PARAMETER;
    nv::win32::UniqueKey hive;
    LSTATUS code = ::RegOpenCurrentUser(KEY_READ, hive.put());
    if (code == ERROR_SUCCESS) {
      nv::win32::UniqueKey persistent;
      code = ::RegOpenKeyExW(hive.get(), nv::text::Widen(kPersistentDrivesKey).c_str(), 0, KEY_READ,
                             persistent.put());
      if (code == ERROR_SUCCESS) code = ::RegDeleteKeyW(persistent.get(), nv::text::Widen(drive).c_str());
    }
    CDebug::dprintf("ForgetPersistent %s: %ld\n", drive.c_str(), static_cast<long>(code));
    return static_cast<int32_t>(code);
  }

  int32_t Add(const std::string& drive, const std::string& remote, const std::string& user,
              const std::string& password) override {
    std::wstring local = nv::text::Widen(drive);
    std::wstring remoteName = nv::text::Widen(remote);
    const std::wstring wideUser = nv::text::Widen(user);
    const std::wstring widePassword = nv::text::Widen(password);
    NETRESOURCEW resource{};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = local.data();
    resource.lpRemoteName = remoteName.data();
    const DWORD code =
        ::WNetAddConnection2W(&resource, widePassword.c_str(), wideUser.c_str(), CONNECT_UPDATE_PROFILE);
    CDebug::dprintf("ConnectDrive %s %s: %lu\n", drive.c_str(), remote.c_str(), code);
    return static_cast<int32_t>(code);
  }

  std::string ErrorText(int32_t code) override {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", n);
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
      text.pop_back();
    if (text.empty()) return "Error " + std::to_string(code);
    return nv::text::Narrow(text);
  }
};

}  // namespace

std::unique_ptr<INetConnections> MakeSystemNetConnections() {
  return std::make_unique<SystemNetConnections>();
}

}  // namespace nv::core
