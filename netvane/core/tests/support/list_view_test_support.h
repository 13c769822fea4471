// Windows only: reading and clicking list-view cells in Wine tests, as the mouse would.
#pragma once
#include <string>

#include "platform/text.h"
#include "platform/windows_api.h"
// After windows.h.
#include <commctrl.h>

namespace listtest {

inline void PumpBriefly() {
  for (int i = 0; i < 5; ++i) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(20);
  }
}

inline std::string Cell(HWND list, int row, int column) {
  wchar_t text[300] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 300;
  ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return nv::text::Narrow(text);
}

// The row whose first column is `name`, or -1.
inline int RowOf(HWND list, const std::string& name) {
  const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < rows; ++r)
    if (Cell(list, r, 0) == name) return r;
  return -1;
}

// A left click in the middle of a cell (near the left edge of the first column).
inline void ClickCell(HWND list, int row, int column) {
  RECT cell{};
  cell.top = column;
  cell.left = LVIR_BOUNDS;
  ::SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
  const int x = column == 0 ? cell.left + 10 : (cell.left + cell.right) / 2;
  const LPARAM at = MAKELPARAM(x, (cell.top + cell.bottom) / 2);
  ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(list, WM_LBUTTONUP, 0, at);
  PumpBriefly();
}

}  // namespace listtest
