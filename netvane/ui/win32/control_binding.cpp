#include "netvane/win32/control_binding.h"

#include <commctrl.h>

#include "netvane/config_text.h"
#include "platform/text.h"

namespace nv::ui {
namespace {

std::string WindowText(HWND item) {
  const int length = ::GetWindowTextLengthW(item);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(item, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return nv::text::Narrow(text);
}

}  // namespace

void LoadControls(HWND dialog, const std::vector<Binding>& table) {
  for (const Binding& b : table) {
    const HWND item = ::GetDlgItem(dialog, b.id);
    switch (b.kind) {
      case BindKind::kCheck:
        ::CheckDlgButton(dialog, b.id, *static_cast<bool*>(b.field) ? BST_CHECKED : BST_UNCHECKED);
        break;
      case BindKind::kText: {
        std::string text = *static_cast<std::string*>(b.field);
        if (b.limit != 0) {
          ::SendMessageW(item, EM_SETLIMITTEXT, b.limit, 0);
          text = nv::core::FirstCharacters(text, b.limit);
        }
        ::SetWindowTextW(item, nv::text::Widen(text).c_str());
        break;
      }
      case BindKind::kIpAddress: {
        const uint32_t address = *static_cast<uint32_t*>(b.field);
        // Zero shows as an empty field, not as 0.0.0.0.
        if (address == 0) {
          ::SendMessageW(item, IPM_CLEARADDRESS, 0, 0);
        } else {
          ::SendMessageW(item, IPM_SETADDRESS, 0, static_cast<LPARAM>(address));
        }
        break;
      }
      case BindKind::kRadioIndex: {
        const int index = *static_cast<int*>(b.field);
        for (size_t i = 0; i < b.limit; ++i)
          ::CheckDlgButton(dialog, b.id + static_cast<int>(i),
                           static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED);
        break;
      }
      case BindKind::kComboIndex:
        ::SendMessageW(item, CB_SETCURSEL, static_cast<WPARAM>(*static_cast<int*>(b.field)), 0);
        break;
    }
  }
}

void StoreControls(HWND dialog, const std::vector<Binding>& table) {
  for (const Binding& b : table) {
    const HWND item = ::GetDlgItem(dialog, b.id);
    switch (b.kind) {
      case BindKind::kCheck:
        *static_cast<bool*>(b.field) = ::IsDlgButtonChecked(dialog, b.id) == BST_CHECKED;
        break;
      case BindKind::kText: {
        std::string text = WindowText(item);
        if (b.limit != 0) text = nv::core::FirstCharacters(text, b.limit);
        *static_cast<std::string*>(b.field) = text;
        break;
      }
      case BindKind::kIpAddress: {
        DWORD address = 0;
        // An empty control answers 0 filled fields; the address then stays 0.
        if (::SendMessageW(item, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)) == 0) address = 0;
        *static_cast<uint32_t*>(b.field) = address;
        break;
      }
      case BindKind::kRadioIndex: {
        int index = -1;
        for (size_t i = 0; i < b.limit && index < 0; ++i)
          if (::IsDlgButtonChecked(dialog, b.id + static_cast<int>(i)) == BST_CHECKED)
            index = static_cast<int>(i);
        *static_cast<int*>(b.field) = index;
        break;
      }
      case BindKind::kComboIndex: {
        const LRESULT index = ::SendMessageW(item, CB_GETCURSEL, 0, 0);
        *static_cast<int*>(b.field) = index == CB_ERR ? -1 : static_cast<int>(index);
        break;
      }
    }
  }
}

}  // namespace nv::ui
