#include "platform/testing/screenshot.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "platform/windows_api.h"

namespace nv::testing {
namespace {

std::string Env(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? nv::text::Narrow(std::wstring(value, n)) : std::string();
}

std::wstring WinePath(const std::string& unixPath) {
  std::wstring path = nv::text::Widen("Z:" + unixPath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

bool Exists(const std::string& unixPath) {
  return ::GetFileAttributesW(WinePath(unixPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void PumpThisThread() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Settle(const ScreenshotOptions& options, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    if (options.pump)
      options.pump();
    else
      PumpThisThread();
    ::Sleep(50);
  }
}

std::string Describe(HWND w) {
  wchar_t cls[128] = {}, title[128] = {};
  ::GetClassNameW(w, cls, 128);
  ::GetWindowTextW(w, title, 128);
  return nv::text::Narrow(cls) + " \"" + nv::text::Narrow(title) + "\"";
}

// The windows above `window` that can reach this display and overlap it.
std::string CoveringWindow(HWND window, const RECT& r, const ScreenshotOptions& options) {
  std::vector<DWORD> ours{::GetCurrentProcessId()};
  for (unsigned long p : options.processes) ours.push_back(static_cast<DWORD>(p));
  for (HWND w = ::GetWindow(window, GW_HWNDPREV); w != nullptr; w = ::GetWindow(w, GW_HWNDPREV)) {
    if (!::IsWindowVisible(w)) continue;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    if (std::find(ours.begin(), ours.end(), pid) == ours.end()) continue;
    RECT other{}, overlap{};
    ::GetWindowRect(w, &other);
    if (::IntersectRect(&overlap, &other, &r)) return Describe(w);
  }
  return {};
}

// What the window drew itself, read from its own surface.
RgbImage OwnDrawing(HWND window, int width, int height) {
  RgbImage image;
  HDC source = ::GetWindowDC(window);
  if (source == nullptr) return image;
  HDC memory = ::CreateCompatibleDC(source);
  const DibSection dib = MakeDibSection(reinterpret_cast<std::uintptr_t>(memory), width, height);
  const auto bitmap = reinterpret_cast<HBITMAP>(dib.bitmap);
  const void* bits = dib.pixels;
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    if (::BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY)) {
      image.width = width;
      image.height = height;
      image.pixels.resize(static_cast<size_t>(width) * height * 3);
      const auto* p = static_cast<const uint8_t*>(bits);
      for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        image.pixels[i * 3] = p[i * 4 + 2];
        image.pixels[i * 3 + 1] = p[i * 4 + 1];
        image.pixels[i * 3 + 2] = p[i * 4];
      }
    }
    ::SelectObject(memory, old);
  }
  if (bitmap != nullptr) ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(window, source);
  return image;
}

std::string ReadFile(const std::string& unixPath) {
  std::ifstream in(WinePath(unixPath).c_str(), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

bool RunLinuxShell(const std::string& script, const std::string& doneUnixPath,
                   const std::function<void()>& pump, int limitMs) {
  // One argument for /bin/sh: Wine splits the command line by the Windows rules before it starts a
  // Linux program, and under those only a quote needs a backslash inside quotes.
  std::string quoted = "\"";
  for (char c : script) {
    if (c == '"') quoted += '\\';
    quoted += c;
  }
  std::wstring command = nv::text::Widen("/bin/sh -c " + quoted + "\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
    return false;
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  for (const DWORD start = ::GetTickCount(); !Exists(doneUnixPath);) {
    if (static_cast<int>(::GetTickCount() - start) > limitMs) return false;
    if (pump) {
      pump();
    } else {
      PumpThisThread();
    }
    ::Sleep(50);
  }
  return true;
}

DibSection MakeDibSection(std::uintptr_t dc, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap =
      ::CreateDIBSection(reinterpret_cast<HDC>(dc), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    return {};
  }
  return {reinterpret_cast<std::uintptr_t>(bitmap), static_cast<uint32_t*>(bits)};
}

std::string ScreenshotFolder() {
  const std::string dir = Env(L"NV_TEST_ARTIFACT_DIR");
  if (!dir.empty()) return dir;
  return "/tmp/nv-screenshots-" + std::to_string(::GetCurrentProcessId());
}

Screenshot TakeWindowScreenshot(std::uintptr_t handle, const ScreenshotOptions& options) {
  Screenshot shot;
  const HWND window = reinterpret_cast<HWND>(handle);
  const std::string own = Env(L"NV_OWN_DISPLAY");
  if (own.empty() || own != Env(L"DISPLAY")) {
    shot.why = "not on an X display of its own (run the test through scripts/own-display.sh)";
    return shot;
  }
  if (window == nullptr || !::IsWindow(window)) {
    shot.why = "no window";
    return shot;
  }
  ::ShowWindow(window, SW_SHOW);
  ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  ::SetForegroundWindow(window);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Settle(options, 10);

  RECT r{};
  ::GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0 || r.left < 0 || r.top < 0 || r.right > ::GetSystemMetrics(SM_CXSCREEN) ||
      r.bottom > ::GetSystemMetrics(SM_CYSCREEN)) {
    shot.why = "the window is not wholly on the screen";
    return shot;
  }
  shot.left = r.left;
  shot.top = r.top;
  const std::string covering = CoveringWindow(window, r, options);

  const std::string dir = ScreenshotFolder();
  shot.path = dir + "/" + options.file;
  const std::string part = shot.path + ".part", raw = shot.path + ".rgb", done = shot.path + ".done";
  const std::string rejected = shot.path.substr(0, shot.path.size() - 4) + ".rejected.png";
  for (const std::string& f : {shot.path, part, raw, done, rejected}) ::DeleteFileW(WinePath(f).c_str());
  const std::string crop = std::to_string(width) + "x" + std::to_string(height) + "+" +
                           std::to_string(r.left) + "+" + std::to_string(r.top);
  const std::string script = "mkdir -p '" + dir + "' && /usr/bin/import -window root -crop " + crop +
                             " png:'" + part + "' && /usr/bin/convert png:'" + part + "' -depth 8 rgb:'" +
                             raw + "'; touch '" + done + "'";
  const RgbImage drawn = OwnDrawing(window, width, height);
  if (!RunLinuxShell(script, done, options.pump) || !Exists(part)) {
    shot.why = "ImageMagick's import made no picture of the display";
    return shot;
  }
  shot.image = ImageFromRawRgb(ReadFile(raw), width, height);
  ::DeleteFileW(WinePath(raw).c_str());
  ::DeleteFileW(WinePath(done).c_str());

  if (!covering.empty()) {
    shot.why = "the window is not in front: " + covering + " lies over it";
  } else if (shot.image.empty()) {
    shot.why = "the picture could not be read back";
  } else if (std::string one = NearlyOneColour(shot.image); !one.empty()) {
    shot.why = one;
  } else if (!drawn.empty()) {
    const double differing = DifferingShare(shot.image, drawn);
    if (differing > options.maxDiffering) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "the screen differs from what the window drew in %.1f%% of its pixels "
                    "(covered, or not painted)",
                    differing * 100);
      shot.why = text;
    }
  }
  const std::wstring from = WinePath(part);
  if (!shot.why.empty()) {
    ::MoveFileExW(from.c_str(), WinePath(rejected).c_str(), MOVEFILE_REPLACE_EXISTING);
    shot.why += " (kept as " + rejected + ")";
    return shot;
  }
  shot.ok = ::MoveFileExW(from.c_str(), WinePath(shot.path).c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  if (!shot.ok) shot.why = "the picture could not be kept as " + shot.path;
  return shot;
}

RgbImage ReadPicture(const std::string& unixPath) {
  const std::string raw = unixPath + ".read.rgb", size = unixPath + ".read.size",
                    done = unixPath + ".read.done";
  for (const std::string& f : {raw, size, done}) ::DeleteFileW(WinePath(f).c_str());
  const std::string script = "/usr/bin/identify -format '%w %h' png:'" + unixPath + "' >'" + size +
                             "' && /usr/bin/convert png:'" + unixPath + "' -depth 8 rgb:'" + raw +
                             "'; touch '" + done + "'";
  RgbImage image;
  if (RunLinuxShell(script, done, nullptr)) {
    std::istringstream dimensions(ReadFile(size));
    int width = 0, height = 0;
    dimensions >> width >> height;
    image = ImageFromRawRgb(ReadFile(raw), width, height);
  }
  for (const std::string& f : {raw, size, done}) ::DeleteFileW(WinePath(f).c_str());
  return image;
}

namespace {

struct Control {
  HWND window;
  std::wstring cls;
  LONG style;
  std::wstring text;
};

std::vector<Control> VisibleControls(HWND window) {
  std::vector<Control> found;
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM param) -> BOOL {
        if (!::IsWindowVisible(child)) return TRUE;
        wchar_t cls[64] = {}, text[512] = {};
        ::GetClassNameW(child, cls, 64);
        ::GetWindowTextW(child, text, 512);
        reinterpret_cast<std::vector<Control>*>(param)->push_back(
            {child, cls, ::GetWindowLongW(child, GWL_STYLE), text});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

bool HasHangul(const std::wstring& text) {
  for (wchar_t c : text)
    if ((c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F))
      return true;
  return false;
}

}  // namespace

std::string CheckSkinnedLook(std::uintptr_t handle, const Screenshot& shot) {
  const HWND window = reinterpret_cast<HWND>(handle);
  std::string problems;
  const auto add = [&](const Control& c, const std::string& problem) {
    if (!problem.empty())
      problems += nv::text::Narrow(c.cls) + " \"" + nv::text::Narrow(c.text) + "\": " + problem + "\n";
  };
  if (std::string magenta = MagentaFringe(shot.image, {0, 0, shot.image.width, shot.image.height});
      !magenta.empty())
    problems += "the picture: " + magenta + "\n";
  for (const Control& c : VisibleControls(window)) {
    if (::lstrcmpiW(c.cls.c_str(), L"Button") != 0) continue;
    const LONG type = c.style & BS_TYPEMASK;
    RECT r{};
    ::GetWindowRect(c.window, &r);
    const PixelRect area{r.left - shot.left, r.top - shot.top, r.right - shot.left, r.bottom - shot.top};
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
      // Inside the border: the face and the caption.
      const PixelRect face{area.left + 2, area.top + 2, area.right - 2, area.bottom - 2};
      add(c, BackgroundBand(shot.image, face));
      if (!c.text.empty()) add(c, CaptionContrast(shot.image, face));
    } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
               type == BS_AUTORADIOBUTTON) {
      if (c.text.empty()) continue;
      // The caption right of the mark (at most 16 pixels wide).
      const int box = std::min(16, area.bottom - area.top);
      add(c, CaptionContrast(shot.image, {area.left + box + 2, area.top, area.right, area.bottom}));
    }
  }
  return problems;
}

namespace {

// Draws one character with `font` (font linking included, as the screen shows it) into a small
// black-on-white picture.
std::vector<uint32_t> Drawn(HDC dc, wchar_t c) {
  constexpr int kSize = 48;
  std::vector<uint32_t> pixels(kSize * kSize);
  const DibSection dib = MakeDibSection(reinterpret_cast<std::uintptr_t>(dc), kSize, kSize);
  const auto bitmap = reinterpret_cast<HBITMAP>(dib.bitmap);
  const uint32_t* bits = dib.pixels;
  if (bitmap == nullptr) return pixels;
  const HGDIOBJ old = ::SelectObject(dc, bitmap);
  RECT all{0, 0, kSize, kSize};
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  ::SetTextColor(dc, RGB(0, 0, 0));
  ::SetBkMode(dc, TRANSPARENT);
  ::TextOutW(dc, 4, 4, &c, 1);
  ::GdiFlush();
  std::copy_n(static_cast<const uint32_t*>(bits), pixels.size(), pixels.begin());
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

// How many Hangul characters of `text` draw as nothing or as the font's missing-glyph box.
int MissingHangul(HFONT font, const std::wstring& text) {
  const HDC screen = ::GetDC(nullptr);
  const HDC dc = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  const HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
  const std::vector<uint32_t> missing = Drawn(dc, L'\xE000');  // a private-use point: no glyph
  const std::vector<uint32_t> blank(missing.size(), 0xFFFFFF);
  int count = 0;
  for (wchar_t c : text) {
    if (!HasHangul(std::wstring(1, c))) continue;
    const std::vector<uint32_t> drawn = Drawn(dc, c);
    if (drawn == missing || drawn == blank) ++count;
  }
  if (old != nullptr) ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return count;
}

}  // namespace

std::string CheckHangulShown(std::uintptr_t handle) {
  const HWND window = reinterpret_cast<HWND>(handle);
  int shown = 0;
  std::string problems;
  const auto check = [&](HFONT font, const std::wstring& text, const std::string& where) {
    if (!HasHangul(text)) return;
    ++shown;
    const int missing = MissingHangul(font, text);
    if (missing > 0)
      problems += where + " \"" + nv::text::Narrow(text) + "\": " + std::to_string(missing) +
                  " Hangul characters drawn without a glyph\n";
  };
  for (const Control& c : VisibleControls(window))
    check(reinterpret_cast<HFONT>(::SendMessageW(c.window, WM_GETFONT, 0, 0)), c.text,
          nv::text::Narrow(c.cls));
  // The caption is drawn in the system's caption font.
  if ((::GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
    wchar_t title[512] = {};
    ::GetWindowTextW(window, title, 512);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      const HFONT caption = ::CreateFontIndirectW(&metrics.lfCaptionFont);
      check(caption, title, "caption");
      ::DeleteObject(caption);
    }
  }
  if (shown == 0) return "no text of the window shows Hangul";
  return problems;
}

}  // namespace nv::testing
