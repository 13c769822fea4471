#include "netvane/win32/skin.h"

#include <commctrl.h>

#include <map>
#include <string>

#include "corekit/debug.h"
#include "netvane/skin_slices.h"
#include "netvane/win32/bitmap_region.h"
#include "nvres/nvres_ids.h"

namespace nv::ui {
namespace {

constexpr COLORREF kTextColour = RGB(255, 255, 255);
// Light grey: readable (above 4.5:1) on the disabled button face and on the dialog background.
constexpr COLORREF kDisabledText = RGB(0xE5, 0xE7, 0xEB);
constexpr COLORREF kDisabledLabel = RGB(0xBF, 0xC5, 0xCE);
constexpr COLORREF kTransparent = RGB(255, 0, 255);
constexpr UINT_PTR kSubclassId = 0x4E56;  // "NV"
constexpr int kCheckStates = 4;
constexpr int kRadioStates = 2;

// The skin bitmaps of one resource library, loaded once for the life of the process.
struct Bitmaps {
  HBITMAP background = nullptr;
  HBITMAP button = nullptr;
  HBITMAP check = nullptr;
  HBITMAP radio = nullptr;
};

HBITMAP Load(HMODULE module, int id) {
  return static_cast<HBITMAP>(
      ::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

const Bitmaps& BitmapsOf(HMODULE resources) {
  static std::map<HMODULE, Bitmaps> loaded;
  auto it = loaded.find(resources);
  if (it == loaded.end()) {
    Bitmaps b{Load(resources, IDB_BACKGROUND), Load(resources, IDB_BUTTON), Load(resources, IDB_CHECK),
              Load(resources, IDB_RADIO)};
    it = loaded.emplace(resources, b).first;
  }
  return it->second;
}

SIZE SizeOf(HBITMAP bitmap) {
  BITMAP info{};
  if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof info, &info) == 0) return {0, 0};
  return {info.bmWidth, info.bmHeight};
}

// A memory DC holding `bitmap` for as long as it lives.
class BitmapDc {
 public:
  BitmapDc(HDC target, HBITMAP bitmap) : m_dc(::CreateCompatibleDC(target)) {
    m_old = ::SelectObject(m_dc, bitmap);
  }
  ~BitmapDc() {
    ::SelectObject(m_dc, m_old);
    ::DeleteDC(m_dc);
  }
  BitmapDc(const BitmapDc&) = delete;
  BitmapDc& operator=(const BitmapDc&) = delete;
  HDC get() const { return m_dc; }

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

enum class Kind { kPush, kCheck, kRadio, kOther };

Kind KindOf(HWND button) {
  wchar_t cls[32] = {};
  ::GetClassNameW(button, cls, 32);
  if (::lstrcmpiW(cls, L"Button") != 0) return Kind::kOther;
  switch (::GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
      return Kind::kPush;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
      return Kind::kCheck;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return Kind::kRadio;
    default:
      return Kind::kOther;
  }
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return text;
}

void PaintPush(HWND button, HDC dc, const RECT& client, HBITMAP strip, bool hover) {
  const SIZE size = SizeOf(strip);
  const LRESULT state = ::SendMessageW(button, BM_GETSTATE, 0, 0);
  const ButtonState look =
      ButtonStateOf(::IsWindowEnabled(button) != FALSE, (state & BST_PUSHED) != 0, hover);
  const SkinRect slice = StateSlice(size.cx, size.cy, kButtonStates, static_cast<int>(look));
  BitmapDc source(dc, strip);
  ::SetStretchBltMode(dc, COLORONCOLOR);
  for (const SlicePart& part : NineSlice(slice, kButtonMargins, client.right, client.bottom)) {
    if (part.target.width() <= 0 || part.target.height() <= 0 || part.source.width() <= 0 ||
        part.source.height() <= 0)
      continue;
    ::StretchBlt(dc, part.target.left, part.target.top, part.target.width(), part.target.height(),
                 source.get(), part.source.left, part.source.top, part.source.width(), part.source.height(),
                 SRCCOPY);
  }
  RECT text = client;
  if (look == ButtonState::kPressed) ::OffsetRect(&text, 1, 1);
  ::SetTextColor(dc, look == ButtonState::kDisabled ? kDisabledText : kTextColour);
  const std::wstring caption = TextOf(button);
  ::DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_HIDEPREFIX);
}

// Asks `parent` to erase its background into `dc`, shifted so that `child`'s place lands at 0,0.
bool EraseAsParent(HWND child, HWND parent, HDC dc) {
  POINT origin{0, 0};
  ::MapWindowPoints(child, parent, &origin, 1);
  POINT old{};
  // Relative, so that a page's button erasing through the page and the sheet adds both shifts.
  ::OffsetViewportOrgEx(dc, -origin.x, -origin.y, &old);
  const bool painted = ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
  ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
  return painted;
}

void PaintMark(HWND button, HDC dc, const RECT& client, HBITMAP strip, int states) {
  // The label sits on the dialog's background: paint that first, in this control's place.
  EraseAsParent(button, ::GetParent(button), dc);

  const SIZE size = SizeOf(strip);
  const bool checked = ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const bool enabled = ::IsWindowEnabled(button) != FALSE;
  const SkinRect slice = StateSlice(size.cx, size.cy, states, CheckSlice(checked, enabled, states));
  const int box = std::min<int>(client.bottom, slice.height());
  const int top = (client.bottom - box) / 2;
  BitmapDc source(dc, strip);
  ::TransparentBlt(dc, 0, top, box, box, source.get(), slice.left, slice.top, slice.width(), slice.height(),
                   kTransparent);
  RECT text = client;
  text.left = box + 4;
  ::SetTextColor(dc, enabled ? kTextColour : kDisabledLabel);
  const std::wstring caption = TextOf(button);
  ::DrawTextW(dc, caption.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_HIDEPREFIX);
}

struct ButtonSkin {
  HMODULE resources;
  Kind kind;
  bool hover = false;
};

void Paint(HWND button, HDC dc, ButtonSkin& skin) {
  const Bitmaps& bitmaps = BitmapsOf(skin.resources);
  RECT client{};
  ::GetClientRect(button, &client);
  const HGDIOBJ oldFont =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0)));
  ::SetBkMode(dc, TRANSPARENT);
  if (skin.kind == Kind::kPush) {
    PaintPush(button, dc, client, bitmaps.button, skin.hover);
  } else {
    PaintMark(button, dc, client, skin.kind == Kind::kCheck ? bitmaps.check : bitmaps.radio,
              skin.kind == Kind::kCheck ? kCheckStates : kRadioStates);
  }
  ::SelectObject(dc, oldFont);
}

// Messages after which the standard button has drawn itself (some without WM_PAINT): the skin
// is painted again over it.
bool Repaints(UINT message) {
  switch (message) {
    case BM_SETCHECK:
    case BM_SETSTATE:
    case BM_CLICK:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR data) {
  auto* skin = reinterpret_cast<ButtonSkin*>(data);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(button, &ps);
      Paint(button, dc, *skin);
      ::EndPaint(button, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      if (!skin->hover) {
        skin->hover = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
        ::TrackMouseEvent(&track);
        ::InvalidateRect(button, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      skin->hover = false;
      ::InvalidateRect(button, nullptr, FALSE);
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(button, &ButtonProc, kSubclassId);
      delete skin;
      return ::DefSubclassProc(button, message, wParam, lParam);
    default:
      break;
  }
  const LRESULT result = ::DefSubclassProc(button, message, wParam, lParam);
  if (Repaints(message)) ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  return result;
}

}  // namespace

void SkinControls(HWND dialog, HMODULE resources) {
  const Bitmaps& bitmaps = BitmapsOf(resources);
  if (bitmaps.button == nullptr || bitmaps.check == nullptr || bitmaps.radio == nullptr) return;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    const Kind kind = KindOf(child);
    if (kind == Kind::kOther) continue;
    auto* skin = new ButtonSkin{resources, kind};
    if (!::SetWindowSubclass(child, &ButtonProc, kSubclassId, reinterpret_cast<DWORD_PTR>(skin))) delete skin;
  }
}

bool PaintSkinBackground(HWND window, HDC dc, HMODULE resources) {
  const HBITMAP background = BitmapsOf(resources).background;
  if (background == nullptr) return false;
  const SIZE size = SizeOf(background);
  RECT client{};
  ::GetClientRect(window, &client);
  BitmapDc source(dc, background);
  // The outline's cut-away corners belong to the window, not to its client area: under them the
  // client shows the picture's middle colour.
  const HBRUSH fill = ::CreateSolidBrush(::GetPixel(source.get(), size.cx / 2, size.cy / 2));
  ::FillRect(dc, &client, fill);
  ::DeleteObject(fill);
  ::SetStretchBltMode(dc, COLORONCOLOR);
  ::TransparentBlt(dc, 0, 0, client.right, client.bottom, source.get(), 0, 0, size.cx, size.cy, kTransparent);
  // Traced once per window size, not on every repaint.
  static std::map<HWND, std::pair<LONG, LONG>> traced;
  auto& last = traced[window];
  if (last != std::make_pair(client.right, client.bottom)) {
    last = {client.right, client.bottom};
    CDebug::dprintf("ImagesStretch(%d/%d/%d/%d)\n", static_cast<int>(size.cx), static_cast<int>(size.cy),
                    static_cast<int>(client.right), static_cast<int>(client.bottom));
  }
  return true;
}

bool PaintParentBackground(HWND child, HDC dc) {
  const HWND parent = ::GetParent(child);
  return parent != nullptr && EraseAsParent(child, parent, dc);
}

void ShapeFromBackground(HWND window, HMODULE resources) {
  const HBITMAP background = BitmapsOf(resources).background;
  if (background == nullptr) return;
  RECT frame{};
  ::GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  if (width <= 0 || height <= 0) return;
  const SIZE size = SizeOf(background);
  HDC screen = ::GetDC(nullptr);
  HBITMAP shape = ::CreateCompatibleBitmap(screen, width, height);
  {
    BitmapDc target(screen, shape);
    BitmapDc source(screen, background);
    // Pixels are repeated or dropped, never blended: the transparent colour stays exact.
    ::SetStretchBltMode(target.get(), COLORONCOLOR);
    ::StretchBlt(target.get(), 0, 0, width, height, source.get(), 0, 0, size.cx, size.cy, SRCCOPY);
  }
  ::ReleaseDC(nullptr, screen);
  SetWindowRegionFromBitmap(window, shape, kTransparent, RGB(0, 0, 0));
  ::DeleteObject(shape);
}

HBRUSH SkinStaticColours(HWND control, HDC dc, HMODULE resources) {
  wchar_t cls[32] = {};
  ::GetClassNameW(control, cls, 32);
  const bool button = ::lstrcmpiW(cls, L"Button") == 0;
  if (::lstrcmpiW(cls, L"Static") != 0 && !button) return nullptr;
  ::SetTextColor(dc, kTextColour);
  ::SetBkMode(dc, TRANSPARENT);
  const HBITMAP background = BitmapsOf(resources).background;
  if (button && (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
      background != nullptr) {
    const SIZE size = SizeOf(background);
    BitmapDc source(dc, background);
    ::SetBkColor(dc, ::GetPixel(source.get(), size.cx / 2, size.cy / 2));
    ::SetBkMode(dc, OPAQUE);
  }
  return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

}  // namespace nv::ui
