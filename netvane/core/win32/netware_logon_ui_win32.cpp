#include <string>

#include "corekit/debug.h"
#include "corekit/test_switches.h"
#include "netvane/drive_platform.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace nv::core {
namespace {

constexpr const char* kCaption = "Netvane";

// As everywhere in the tray program: NV_NO_MESSAGEBOX=1 (test builds) turns a box into a trace line.
bool Unattended() { return nv::corekit::UnattendedMessageBoxes(); }

// The dialog lives in the resource library the tray program has loaded; a program without it
// (a test) may carry the template itself.
HMODULE DialogModule() {
  HMODULE module = ::GetModuleHandleW(L"NvRes.dll");
  return module != nullptr ? module : ::GetModuleHandleW(nullptr);
}

std::string ItemText(HWND dialog, int id) {
  const HWND item = ::GetDlgItem(dialog, id);
  const int length = item != nullptr ? ::GetWindowTextLengthW(item) : 0;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = length > 0 ? ::GetWindowTextW(item, text.data(), length + 1) : 0;
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return nv::text::Narrow(text);
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  ::SetDlgItemTextW(dialog, id, nv::text::Widen(text).c_str());
}

// Fills the three fields from the credentials and, on OK, reads them back; nothing else.
INT_PTR CALLBACK LogonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const auto* c = reinterpret_cast<const NetWareCredentials*>(lParam);
      SetItemText(dialog, IDC_LOGON_USER, c->user);
      SetItemText(dialog, IDC_LOGON_SERVER, c->server);
      SetItemText(dialog, IDC_LOGON_PASSWORD, "");
      return TRUE;
    }
    auto* c = reinterpret_cast<NetWareCredentials*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || c == nullptr) return FALSE;
    switch (LOWORD(wParam)) {
      case IDOK:
        c->user = ItemText(dialog, IDC_LOGON_USER);
        c->server = ItemText(dialog, IDC_LOGON_SERVER);
        c->password = ItemText(dialog, IDC_LOGON_PASSWORD);
        ::EndDialog(dialog, IDOK);
        return TRUE;
      case IDCANCEL:
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    ::EndDialog(dialog, IDCANCEL);  // nothing may cross user32
    return TRUE;
  }
}

class SystemNetWareLogonUi final : public INetWareLogonUi {
 public:
  bool AskLogon(int network, NetWareCredentials& credentials) override {
    NetWareCredentials edited = credentials;
    const INT_PTR answer = ::DialogBoxParamW(DialogModule(), MAKEINTRESOURCEW(IDD_NETWARE_LOGON), nullptr,
                                             LogonDialogProc, reinterpret_cast<LPARAM>(&edited));
    if (answer == -1)
      CDebug::dprintf("NetWare logon dialog for network %d: %lu\n", network, ::GetLastError());
    if (answer != IDOK) return false;
    credentials = std::move(edited);
    return true;
  }

  void ShowDriveErrors(const std::string& report) override {
    if (Unattended()) {
      CDebug::dprintf("MessageBox(%s): %s\n", kCaption, report.c_str());
      return;
    }
    ::MessageBoxW(nullptr, nv::text::Widen(report).c_str(), nv::text::Widen(kCaption).c_str(),
                  MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  }
};

}  // namespace

std::unique_ptr<INetWareLogonUi> MakeSystemNetWareLogonUi() {
  return std::make_unique<SystemNetWareLogonUi>();
}

}  // namespace nv::core
