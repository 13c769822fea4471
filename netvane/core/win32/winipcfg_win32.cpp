// Drives the Windows 95 address tool "WINIPCFG.EXE" through its controls.
#include "platform/windows_api.h"

#include <shellapi.h>

#include "netvane/change_ip.h"
#include "platform/text.h"

namespace nv::core {
namespace {

constexpr int kAdapterList = 115;
constexpr int kAdapterAddress = 134;
constexpr int kIpAddress = 135;
constexpr int kReleaseButton = 144;
constexpr int kRenewButton = 145;
constexpr WORD kSelectionChange = 9;

class WinIpCfgWindow : public IWinIpCfgWindow {
 public:
  bool Open() override {
    window_ = ::FindWindowW(L"WinIpCfgClass", nullptr);
    if (!window_) {
      SHELLEXECUTEINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
      info.lpVerb = L"open";
      info.lpFile = L"WINIPCFG.EXE";
      info.nShow = SW_HIDE;
      if (::ShellExecuteExW(&info) && info.hProcess) {
        ::WaitForInputIdle(info.hProcess, INFINITE);
        ::CloseHandle(info.hProcess);
      }
      window_ = ::FindWindowW(L"WinIpCfgClass", nullptr);
      if (window_) {
        // Out of sight: the tool is only driven, never shown.
        ::MoveWindow(window_, -10, -10, 1, 1, FALSE);
        ::ShowWindow(window_, SW_HIDE);
      }
    }
    return window_ != nullptr;
  }
  int AdapterCount() override {
    return static_cast<int>(::SendDlgItemMessageW(window_, kAdapterList, CB_GETCOUNT, 0, 0));
  }
  void SelectAdapter(int index) override {
    ::SendDlgItemMessageW(window_, kAdapterList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(window_, WM_COMMAND, MAKEWPARAM(kAdapterList, kSelectionChange),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window_, kAdapterList)));
  }
  std::string AdapterAddress() override { return Text(kAdapterAddress); }
  std::string IpAddress() override { return Text(kIpAddress); }
  bool ReleaseEnabled() override { return ::IsWindowEnabled(::GetDlgItem(window_, kReleaseButton)) != FALSE; }
  void PressRelease() override { Press(kReleaseButton); }
  void PressRenew() override { Press(kRenewButton); }

 private:
  std::string Text(int id) {
    wchar_t buffer[129] = {};
    ::GetDlgItemTextW(window_, id, buffer, 128);
    return nv::text::Narrow(buffer);
  }
  void Press(int id) {
    ::SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window_, id)));
  }

  HWND window_ = nullptr;
};

}  // namespace

IWinIpCfgWindow* SystemWinIpCfgWindow() noexcept {
  static WinIpCfgWindow window;
  return &window;
}

}  // namespace nv::core
