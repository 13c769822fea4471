// The tray's platform side on Windows: a hidden pop-up window receives the icon's callbacks,
// the taskbar's "TaskbarCreated" broadcast and the animation timer; menu commands go on to the
// parent window.
#include "netvane/system_tray.h"
#include "platform/text.h"
#include "platform/windows_api.h"

#include <shellapi.h>  // after windows.h, which it needs

namespace {

constexpr wchar_t kTargetClass[] = L"NetvaneSystemTray";

struct OwnedMenu {
  HMENU owner = nullptr;  // destroyed after use
  HMENU popup = nullptr;
  ~OwnedMenu() {
    if (owner != nullptr) ::DestroyMenu(owner);
  }
};

class Win32TrayShell final : public TrayShell {
 public:
  explicit Win32TrayShell(HMODULE resources) : resources_(resources) {}
  ~Win32TrayShell() override { DestroyTargetWindow(); }

  unsigned WindowsMajorVersion() override { return LOBYTE(LOWORD(::GetVersion())); }

  bool CreateTargetWindow(CSystemTray& tray, std::uintptr_t parent) override {
    tray_ = &tray;
    parent_ = reinterpret_cast<HWND>(parent);
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &Win32TrayShell::WindowProc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = kTargetClass;
      return ::RegisterClassW(&wc);
    }();
    if (atom == 0) return false;
    target_ = ::CreateWindowExW(0, kTargetClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), this);
    return target_ != nullptr;
  }

  void DestroyTargetWindow() override {
    if (target_ == nullptr) return;
    ::DestroyWindow(target_);
    target_ = nullptr;
  }

  std::uintptr_t TargetWindow() const override { return reinterpret_cast<std::uintptr_t>(target_); }

  bool NotifyAdd(const TrayRecord& record) override {
    callbackMessage_ = record.callbackMessage;
    return Notify(NIM_ADD, record, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  }
  bool NotifyModify(const TrayRecord& record, unsigned fields) override {
    UINT flags = 0;
    if (fields & kTrayMessage) flags |= NIF_MESSAGE;
    if (fields & kTrayIcon) flags |= NIF_ICON;
    if (fields & kTrayTip) flags |= NIF_TIP;
    return Notify(NIM_MODIFY, record, flags);
  }
  bool NotifyDelete(const TrayRecord& record) override { return Notify(NIM_DELETE, record, 0); }

  void SetTimer(unsigned id, unsigned ms) override { ::SetTimer(target_, id, ms, nullptr); }
  void KillTimer(unsigned id) override { ::KillTimer(target_, id); }
  std::uint32_t TickCount() override { return ::GetTickCount(); }

  void ShowMenu(const TrayMenu& menu) override {
    OwnedMenu popup = Build(menu);
    if (popup.popup == nullptr) return;
    POINT at{};
    ::GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere, and
    // without the posted message it would need a second click to close.
    ::SetForegroundWindow(target_);
    ::TrackPopupMenu(popup.popup, TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, target_,
                     nullptr);
    ::PostMessageW(target_, WM_NULL, 0, 0);
  }

  bool RunDefaultCommand(const TrayMenu& menu) override {
    OwnedMenu popup = Build(menu);
    if (popup.popup == nullptr) return false;
    const UINT command = ::GetMenuDefaultItem(popup.popup, FALSE, 0);
    if (command == static_cast<UINT>(-1)) return false;
    ::SetForegroundWindow(target_);
    ::SendMessageW(target_, WM_COMMAND, command, 0);
    return true;
  }

 private:
  bool Notify(DWORD action, const TrayRecord& record, UINT flags) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = target_;
    data.uID = record.id;
    data.uFlags = flags;
    data.uCallbackMessage = record.callbackMessage;
    data.hIcon = reinterpret_cast<HICON>(record.icon);
    const std::wstring tip = nv::text::Widen(CutTrayTip(record.tip));
    tip.copy(data.szTip, kTrayTipUnits);
    return ::Shell_NotifyIconW(action, &data) != FALSE;
  }

  OwnedMenu Build(const TrayMenu& menu) const {
    OwnedMenu result;
    if (!menu.items.empty()) {
      result.owner = result.popup = ::CreatePopupMenu();
      for (const auto& item : menu.items) {
        if (item.command == 0) {
          ::AppendMenuW(result.popup, MF_SEPARATOR, 0, nullptr);
        } else {
          ::AppendMenuW(result.popup, MF_STRING, item.command, nv::text::Widen(item.text).c_str());
        }
      }
    } else {
      result.owner = ::LoadMenuW(resources_, MAKEINTRESOURCEW(menu.resourceId));
      if (result.owner != nullptr) result.popup = ::GetSubMenu(result.owner, 0);
    }
    if (result.popup != nullptr) ::SetMenuDefaultItem(result.popup, menu.defaultItem, menu.byPosition);
    return result;
  }

  bool Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (tray_ == nullptr) return false;
    if (callbackMessage_ != 0 && msg == callbackMessage_) {
      tray_->OnTrayNotification(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
      return true;
    }
    if (taskbarCreated_ != 0 && msg == taskbarCreated_) {
      tray_->OnTaskbarCreated();
      return true;
    }
    if (msg == WM_TIMER) {
      tray_->OnTimer(static_cast<unsigned>(wParam));
      return true;
    }
    if (msg == WM_COMMAND && parent_ != nullptr) {
      ::SendMessageW(parent_, WM_COMMAND, wParam, lParam);
      return true;
    }
    return false;
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* shell = reinterpret_cast<Win32TrayShell*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    try {
      if (shell != nullptr && shell->Handle(msg, wParam, lParam)) return 0;
    } catch (...) {  // nothing may leave a window procedure
      ::OutputDebugStringW(L"CSystemTray: exception in the tray window\n");
    }
    return ::DefWindowProcW(window, msg, wParam, lParam);
  }

  HMODULE resources_;
  CSystemTray* tray_ = nullptr;
  HWND parent_ = nullptr;
  HWND target_ = nullptr;
  UINT taskbarCreated_ = 0;
  UINT callbackMessage_ = 0;
};

}  // namespace

std::unique_ptr<TrayShell> CreatePlatformTrayShell(std::uintptr_t resourceModule) {
  HMODULE resources =
      resourceModule != 0 ? reinterpret_cast<HMODULE>(resourceModule) : ::GetModuleHandleW(nullptr);
  return std::make_unique<Win32TrayShell>(resources);
}
