// The change display's windows: the progress dialog from the resource library's template and
// the desktop display window, drawn with GDI.
#include <memory>
#include <string>
#include <utility>

#include "corekit/debug.h"
#include "netvane/indicator_windows.h"
#include "netvane/win32/window_font.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "platform/win32_handles.h"
#include "platform/windows_api.h"

#include <commctrl.h>  // after windows.h, which it needs

namespace nv::core {
namespace {

constexpr wchar_t kDisplayClass[] = L"Netvane_Display";
constexpr int kScreenMargin = 16;

using nv::win32::UniqueFont;

// What the display window draws; owned by the window object, read by its procedure.
struct DisplayState {
  std::wstring text;
  COLORREF colour = 0;
  bool vertical = false;
  UniqueFont font;
  SIZE extent{};  // the text, measured along it
};

INT_PTR CALLBACK ProgressProc(HWND, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      return TRUE;  // the change closes it, not the user
    case WM_COMMAND:
      return LOWORD(wParam) == IDCANCEL ? TRUE : FALSE;
    default:
      return FALSE;
  }
}

void PaintDisplay(HWND hwnd, const DisplayState& state) {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd, &ps);
  RECT client;
  ::GetClientRect(hwnd, &client);
  ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  HGDIOBJ old = ::SelectObject(dc, state.font.get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, state.colour);
  ::SetTextAlign(dc, TA_TOP | TA_LEFT);
  const int length = static_cast<int>(state.text.size());
  if (state.vertical) {
    // Turned clockwise, the text runs down from the reference point and its cell lies to the
    // reference point's left.
    const int room = (client.bottom - state.extent.cx) / 2;
    ::TextOutW(dc, client.right, room > 0 ? room : 0, state.text.c_str(), length);
  } else {
    ::TextOutW(dc, 0, 0, state.text.c_str(), length);
  }
  ::SelectObject(dc, old);
  ::EndPaint(hwnd, &ps);
}

LRESULT CALLBACK DisplayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const auto* state = reinterpret_cast<const DisplayState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT:
      if (state == nullptr) break;
      PaintDisplay(hwnd, *state);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterDisplayClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (::GetClassInfoExW(instance, kDisplayClass, &wc)) return true;
  wc.lpfnWndProc = DisplayProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = kDisplayClass;
  return ::RegisterClassExW(&wc) != 0;
}

UniqueFont MakeFont(const DisplayFont& font) {
  LOGFONTW lf{};
  HDC screen = ::GetDC(nullptr);
  lf.lfHeight = -::MulDiv(font.size, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
  ::ReleaseDC(nullptr, screen);
  lf.lfWeight = font.weight;
  lf.lfEscapement = font.escapement;
  lf.lfOrientation = font.escapement;
  lf.lfCharSet = DEFAULT_CHARSET;
  const std::wstring face = nv::text::Widen(font.face);
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  return UniqueFont(::CreateFontIndirectW(&lf));
}

SIZE MeasureText(HFONT font, const std::wstring& text) {
  SIZE size{};
  HDC screen = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(screen, font);
  ::GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(screen, old);
  ::ReleaseDC(nullptr, screen);
  return size;
}

class Win32IndicatorWindows final : public IIndicatorWindows {
 public:
  Win32IndicatorWindows(HMODULE resources, std::string fontFace)
      : m_resources(resources), m_fontFace(std::move(fontFace)) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
  }
  ~Win32IndicatorWindows() override {
    CloseProgress();
    CloseDisplay();
  }

  void SetParent(std::uintptr_t parent) override { m_parent = reinterpret_cast<HWND>(parent); }

  bool OpenProgress(const std::string& line1, const std::string& line2) override {
    CloseProgress();
    if (m_resources == nullptr) return false;
    m_progress.reset(
        ::CreateDialogParamW(m_resources, MAKEINTRESOURCEW(IDD_PROGRESS), m_parent, ProgressProc, 0));
    if (!m_progress) return false;
    HWND dialog = m_progress.get();
    m_progressFont = ApplyStringFileFont(dialog, m_fontFace, line1 + line2, IDD_PROGRESS);
    ::SetDlgItemTextW(dialog, IDC_PROGRESS_TEXT1, nv::text::Widen(line1).c_str());
    ::SetDlgItemTextW(dialog, IDC_PROGRESS_TEXT2, nv::text::Widen(line2).c_str());
    m_line2 = line2;
    ::SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
    ::SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    // Shown without taking the focus from what the user is doing.
    ::ShowWindow(dialog, SW_SHOWNA);
    DrawNow(dialog);
    return true;
  }

  void UpdateProgress(int position, const std::string& line2) override {
    if (!m_progress) return;
    HWND dialog = m_progress.get();
    if (line2 != m_line2) {
      ::SetDlgItemTextW(dialog, IDC_PROGRESS_TEXT2, nv::text::Widen(line2).c_str());
      m_line2 = line2;
    }
    ::SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    DrawNow(dialog);
  }

  void CloseProgress() override {
    m_progress.reset();
    m_progressFont.reset();
  }

  bool ShowDisplay(const DisplaySpec& spec) override {
    CloseDisplay();
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (!RegisterDisplayClass(instance)) return false;
    auto state = std::make_unique<DisplayState>();
    state->text = nv::text::Widen(spec.name);
    state->colour = static_cast<COLORREF>(spec.colour);
    state->vertical = spec.vertical;
    state->font = MakeFont(spec.font);
    if (!state->font) return false;
    state->extent = MeasureText(state->font.get(), state->text);
    const TextExtent size = DisplayWindowSize({state->extent.cx, state->extent.cy}, spec.vertical);

    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.right - size.cx - kScreenMargin;
    const int y = work.top + kScreenMargin;
    m_display.reset(::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kDisplayClass, state->text.c_str(),
                                      WS_POPUP, x, y, size.cx, size.cy, nullptr, nullptr, instance,
                                      state.get()));
    if (!m_display) return false;
    m_displayState = std::move(state);
    // A desktop sign: below the windows the user works in.
    ::SetWindowPos(m_display.get(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::ShowWindow(m_display.get(), SW_SHOWNA);
    DrawNow(m_display.get());
    return true;
  }

  void CloseDisplay() override {
    m_display.reset();
    m_displayState.reset();
  }

 private:
  static void DrawNow(HWND hwnd) {
    ::RedrawWindow(hwnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

  HMODULE m_resources;
  std::string m_fontFace;
  HWND m_parent = nullptr;
  UniqueFont m_progressFont;  // declared first: outlives the window
  nv::win32::UniqueWindow m_progress;
  std::string m_line2;
  std::unique_ptr<DisplayState> m_displayState;  // declared first: outlives the window
  nv::win32::UniqueWindow m_display;
};

}  // namespace

std::unique_ptr<IIndicatorWindows> MakeIndicatorWindows(std::uintptr_t resourceModule,
                                                        const std::string& fontFace) {
  return std::make_unique<Win32IndicatorWindows>(reinterpret_cast<HMODULE>(resourceModule), fontFace);
}

void PumpPaintMessages() {
  // PM_QS_PAINT leaves input, timers and posted requests queued.  Sent messages from other
  // threads are still delivered by any PeekMessage; their handlers must refuse work meanwhile.
  MSG msg;
  for (int i = 0; i < 1000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i)
    ::DispatchMessageW(&msg);
}

}  // namespace nv::core
