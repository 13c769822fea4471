// The change display's real windows and the all-users desktop under Wine: the network-named
// shortcut through a change and an option change, the desktop display window for A and for B
// (turned), the progress window mid-change, and its repainting while the thread is blocked.
// Checked screenshots go to NV_TEST_ARTIFACT_DIR.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "netvane/cfginfo.h"
#include "netvane/desktop_links.h"
#include "netvane/indicator_windows.h"
#include "netvane/net_indicator.h"
#include "netvane/repainting_waits.h"
#include "nvres/nvres_ids.h"
#include "platform/testing/screenshot.h"
#include "platform/text.h"
#include "platform/windows_api.h"

#include <commctrl.h>

namespace {

using nv::text::Narrow;
using nv::text::Widen;
using Clock = std::chrono::steady_clock;

std::string TempFolder(const char* name) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::string folder = Narrow(temp) + name + std::to_string(::GetCurrentProcessId());
  ::CreateDirectoryW(Widen(folder).c_str(), nullptr);
  return folder;
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

// Lets the thread's windows paint, for tests that are not inside a change.
void Settle(int ms) {
  const auto stop = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < stop) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::Sleep(10);
  }
}

// Pixels of a screen rectangle as X shows them (0x00RRGGBB each).
std::vector<uint32_t> ScreenPixels(const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, dib);
  ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  ::GdiFlush();
  std::copy_n(static_cast<const uint32_t*>(bits), pixels.size(), pixels.begin());
  ::SelectObject(mem, old);
  ::DeleteObject(dib);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  for (auto& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

double DifferingShare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  size_t differ = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) differ += a[i] != b[i];
  return a.empty() ? 1.0 : static_cast<double>(differ) / static_cast<double>(a.size());
}

size_t CountPixels(const std::vector<uint32_t>& pixels, uint32_t rgb) {
  return static_cast<size_t>(std::count(pixels.begin(), pixels.end(), rgb));
}

// A checked screenshot of `window` into the artifacts folder (see platform/testing/screenshot.h);
// the program keeps painting while the picture is taken.
void Screenshot(const std::string& name, HWND window) {
  nv::testing::ScreenshotOptions options;
  options.file = name;
  options.pump = [] { nv::core::PumpPaintMessages(); };
  const nv::testing::Screenshot shot =
      nv::testing::TakeWindowScreenshot(reinterpret_cast<std::uintptr_t>(window), options);
  EXPECT_TRUE(shot.ok) << name << ": " << shot.why;
}

class NetIndicatorWine : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = TempFolder("nv-indicator-");
    target_ = nv::core::ShortcutTarget(install_);
    HANDLE file = ::CreateFileW(Widen(target_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    cfg_.szNet[0] = "INTRANET";
    cfg_.szNet[1] = "INTERNET";
    cfg_.InstalledPath = install_;
    resources_ = ::LoadLibraryW(L"NvRes.dll");
    ASSERT_NE(resources_, nullptr) << "NvRes.dll not found beside the test";
  }
  void TearDown() override {
    ::DeleteFileW(Widen(target_).c_str());
    ::RemoveDirectoryW(Widen(install_).c_str());
    if (resources_ != nullptr) ::FreeLibrary(resources_);
  }

  // Our links on the desktop: file names of the links that start our helper program.
  std::vector<std::string> OurLinks(nv::core::IDesktopLinks& links, const std::string& folder) {
    std::vector<std::string> all, ours;
    links.ListLinks(folder, all);
    for (const auto& link : all) {
      std::string target;
      if (links.ReadTarget(link, target) && nv::text::EqualsNoCase(target, target_))
        ours.push_back(nv::text::ToUpperAscii(FileName(link)));
    }
    return ours;
  }

  CCfginfo cfg_;
  std::string install_;
  std::string target_;
  HMODULE resources_ = nullptr;
};

TEST_F(NetIndicatorWine, TheShortcutFollowsTheNetworkOnTheAllUsersDesktop) {
  auto links = nv::core::MakeDesktopLinks();
  const std::string folder = links->Folder();
  ASSERT_FALSE(folder.empty());
  ::CreateDirectoryW(Widen(folder).c_str(), nullptr);
  const std::string linkA = folder + "\\INTRANET.lnk", linkB = folder + "\\INTERNET.LNK";
  const std::string other = folder + "\\Netvane test other.lnk";
  for (const auto& p : {linkA, linkB, other}) ::DeleteFileW(Widen(p).c_str());
  ASSERT_TRUE(links->Create(linkA, target_));
  ASSERT_TRUE(links->Create(other, "C:\\windows\\notepad.exe"));
  ASSERT_EQ(OurLinks(*links, folder), std::vector<std::string>{"INTRANET.LNK"});

  cfg_.dwOpt = CNetIndicator::kOptShortcut;
  cfg_.dwSilentChng = 1;
  CNetIndicator display(cfg_);
  display.SetDesktopLinks(nv::core::MakeDesktopLinks());
  display.SetNetwork(1);
  EXPECT_EQ(display.Finish(), "INTERNET");
  EXPECT_EQ(OurLinks(*links, folder), std::vector<std::string>{"INTERNET.LNK"});

  // A second change request for B finds its link: the file is not touched.
  WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
  ASSERT_TRUE(::GetFileAttributesExW(Widen(linkB).c_str(), GetFileExInfoStandard, &before));
  ::Sleep(20);
  display.SetNetwork(1);
  display.Finish();
  ASSERT_TRUE(::GetFileAttributesExW(Widen(linkB).c_str(), GetFileExInfoStandard, &after));
  EXPECT_EQ(OurLinks(*links, folder), std::vector<std::string>{"INTERNET.LNK"});
  EXPECT_EQ(::CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);

  // The option switched off: our link goes, the other stays.
  cfg_.dwOpt = 0;
  display.OnOptionsChanged(0);
  EXPECT_TRUE(OurLinks(*links, folder).empty());
  EXPECT_NE(::GetFileAttributesW(Widen(other).c_str()), INVALID_FILE_ATTRIBUTES);
  ::DeleteFileW(Widen(other).c_str());
}

TEST_F(NetIndicatorWine, TheDisplayWindowShowsAHorizontalAndBTurned) {
  struct Case {
    int network;
    uint32_t opt;
    uint32_t rgb;  // the network's colour as the screen gives it back
    const char* png;
  } cases[] = {
      {0, CNetIndicator::kOptDisplay, 0x0000FF, "netvane-display-a-horizontal.png"},
      {1, CNetIndicator::kOptDisplay | CNetIndicator::kOptVertical, 0xFF0000,
       "netvane-display-b-vertical.png"},
  };
  cfg_.dwSilentChng = 1;
  CNetIndicator display(cfg_);
  display.SetWindows(nv::core::MakeIndicatorWindows(reinterpret_cast<std::uintptr_t>(resources_), "Tahoma"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.png);
    cfg_.dwOpt = c.opt;
    display.OnOptionsChanged(0);
    display.SetNetwork(c.network);
    display.Finish();
    Settle(300);
    HWND window = ::FindWindowW(L"Netvane_Display", Widen(cfg_.szNet[c.network]).c_str());
    ASSERT_NE(window, nullptr);
    RECT r;
    ::GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (c.network == 0) {
      EXPECT_GT(w, 2 * h);  // a line of bold 24-point text
    } else {
      EXPECT_GT(h, 2 * w);  // the same turned, with room along it
    }
    const auto pixels = ScreenPixels(r);
    const size_t coloured = CountPixels(pixels, c.rgb);
    // Glyph strokes in the network's colour, on white.
    EXPECT_GT(coloured, pixels.size() / 50) << coloured << " of " << pixels.size();
    EXPECT_GT(CountPixels(pixels, 0xFFFFFF), pixels.size() / 3);
    if (c.network == 1) {
      // Turned text: the strokes run down the window, not across its top.
      size_t top = 0;
      for (int y = 0; y < h / 4; ++y)
        for (int x = 0; x < w; ++x) top += pixels[static_cast<size_t>(y) * w + x] == c.rgb;
      EXPECT_LT(top, coloured / 2);
    }
    Screenshot(c.png, window);
  }
  cfg_.dwOpt = 0;
  display.OnOptionsChanged(0);
  Settle(50);
  EXPECT_EQ(::FindWindowW(L"Netvane_Display", nullptr), nullptr);
}

// Covers `area` from another thread until told, as another program's window would.
class Cover {
 public:
  explicit Cover(const RECT& area) : thread_([this, area] { Run(area); }) {
    while (!shown_) ::Sleep(5);
  }
  ~Cover() {
    Uncover();
    thread_.join();
  }
  void Uncover() {
    if (hwnd_ != nullptr) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
  bool Gone() const { return gone_; }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_PAINT) {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(h, &ps);
      HBRUSH magenta = ::CreateSolidBrush(RGB(255, 0, 255));
      ::FillRect(dc, &ps.rcPaint, magenta);
      ::DeleteObject(magenta);
      ::EndPaint(h, &ps);
      return 0;
    }
    if (m == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(h, m, w, l);
  }
  void Run(const RECT& r) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"NvTestCover";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"NvTestCover", L"", WS_POPUP | WS_VISIBLE,
                              r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                              wc.hInstance, nullptr);
    ::UpdateWindow(hwnd_);
    shown_ = true;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    gone_ = true;
  }

  std::atomic<HWND> hwnd_{nullptr};
  std::atomic<bool> shown_{false};
  std::atomic<bool> gone_{false};
  std::thread thread_;
};

TEST_F(NetIndicatorWine, TheProgressWindowShowsTheChangeAndRepaintsWhileTheChangeBlocks) {
  cfg_.dwDebug = CNetIndicator::kDebugShowText;
  CIniFile strings;
  strings.SetValue("CommonStr", "szChngMsg1", "Changing to %1...");
  strings.SetValue("CommonStr", "szChngMsg2", "Please wait while the network is changed.");
  CNetIndicator display(cfg_, strings);
  display.SetWindows(nv::core::MakeIndicatorWindows(reinterpret_cast<std::uintptr_t>(resources_), "Tahoma"));
  display.SetPump(&nv::core::PumpPaintMessages);

  // Requests that arrive during a change wait in the queue: a posted command to a window of
  // this thread must still be there after the pumping.
  HWND requests = ::CreateWindowExW(0, L"STATIC", L"requests", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
  ::PostMessageW(requests, WM_COMMAND, 5003, 0);

  display.SetNetwork(1);
  display.SetProgress(10, "Preparering to Packet....");
  display.Progress(55, "Packet Sending (3)");
  HWND dialog = ::FindWindowW(nullptr, L"Netvane");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(::IsWindowVisible(dialog));
  wchar_t text[256];
  ::GetDlgItemTextW(dialog, IDC_PROGRESS_TEXT1, text, 256);
  EXPECT_EQ(Narrow(text), "Changing to INTERNET...");
  ::GetDlgItemTextW(dialog, IDC_PROGRESS_TEXT2, text, 256);
  EXPECT_EQ(Narrow(text), "Packet Sending (3)");
  EXPECT_EQ(::SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 55);

  RECT r;
  ::GetWindowRect(dialog, &r);
  const auto blockFor = [](int ms, bool pump) {  // the change's main thread, busy
    const auto stop = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < stop) {
      if (pump) nv::core::PumpPaintMessages();
      ::Sleep(10);
    }
  };
  blockFor(300, true);
  Screenshot("netvane-progress.png", dialog);
  const auto drawn = ScreenPixels(r);
  ASSERT_LT(CountPixels(drawn, 0xFF00FF), drawn.size() / 100);
  {
    Cover cover(r);
    blockFor(300, true);
    const auto covered = ScreenPixels(r);
    EXPECT_GT(CountPixels(covered, 0xFF00FF), covered.size() / 2) << "the cover did not reach the screen";
    cover.Uncover();
    while (!cover.Gone()) ::Sleep(5);
  }
  // Blocked without the pump, the uncovered window stays as the cover left it: what the pump
  // repairs below is really missing.
  blockFor(500, false);
  const auto frozen = ScreenPixels(r);
  // (Wine may restore part of it from its own surface; a busy machine shows more of that.)
  EXPECT_GT(CountPixels(frozen, 0xFF00FF), frozen.size() / 10) << "repainted without the pump";
  // The switch control's resend wait, as the tray program runs it: slices and repaints.  A busy
  // machine may need more than one wait for the screen to catch up.  The cover's colour must be
  // gone; the rest is not compared pixel for pixel, as other tests' windows share this screen.
  auto repainted = frozen;
  const auto magentaLeft = [&] { return CountPixels(repainted, 0xFF00FF); };
  for (int wait = 0; wait < 6 && magentaLeft() >= repainted.size() / 100; ++wait) {
    nv::core::RepaintingSystemSwitchEnvironment().Sleep(500);
    repainted = ScreenPixels(r);
  }
  EXPECT_LT(magentaLeft(), repainted.size() / 100)
      << "differs from the first drawing by " << DifferingShare(drawn, repainted);

  MSG msg;
  EXPECT_TRUE(::PeekMessageW(&msg, requests, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
  ::DestroyWindow(requests);
  display.CloseProgress();
  EXPECT_FALSE(::IsWindow(dialog));
}

std::vector<std::string> InstalledFaces() {
  std::vector<std::string> faces;
  LOGFONTW all{};
  all.lfCharSet = DEFAULT_CHARSET;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(
      screen, &all,
      [](const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM out) -> int {
        reinterpret_cast<std::vector<std::string>*>(out)->push_back(Narrow(font->lfFaceName));
        return 1;
      },
      reinterpret_cast<LPARAM>(&faces), 0);
  ::ReleaseDC(nullptr, screen);
  return faces;
}

bool Listed(const std::vector<std::string>& faces, const std::string& face) {
  return std::any_of(faces.begin(), faces.end(),
                     [&](const std::string& f) { return nv::text::EqualsNoCase(f, face); });
}

TEST_F(NetIndicatorWine, TheProgressWindowIsDrawnInTheStringFilesFace) {
  // For a missing Latin face, the first of these that the system has.
  const std::vector<std::string> faces = InstalledFaces();
  const std::vector<std::string> fallbacks = {"Tahoma", "Segoe UI", "MS Shell Dlg 2", "DejaVu Sans"};
  std::string fallback, other;
  for (const std::string& face : fallbacks)
    if (fallback.empty() && Listed(faces, face)) fallback = face;
  ASSERT_FALSE(fallback.empty()) << "Wine lists none of the fallback faces";
  // An installed face that neither the template nor a fallback would give.
  for (const std::string& face : faces) {
    if (other.empty() && !face.empty() && face[0] != '@' && !Listed(fallbacks, face) &&
        !Listed({"Marlett", "Symbol", "Wingdings", "Webdings"}, face))
      other = face;
  }
  ASSERT_FALSE(other.empty()) << "Wine lists no face but the template's and the fallbacks";
  struct Case {
    const char* what;
    std::string wanted, message, network;
    std::string face;  // empty: any Hangul face
    const char* png;   // a Korean picture, checked for Hangul glyphs
  } cases[] = {
      {"installed face", other, "Changing to %1...", "INTERNET", other, nullptr},
      {"missing face: a fallback", "No Such Face", "Changing to %1...", "INTERNET", fallback, nullptr},
      {"missing Korean face: a Hangul one", "굴림", "%1(으)로 바꾸는 중...", "외부망", "",
       "netvane-progress-kor.png"},
  };
  cfg_.dwDebug = CNetIndicator::kDebugShowText;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CIniFile strings;
    strings.SetValue("CommonStr", "szChngMsg1", c.message);
    strings.SetValue("CommonStr", "szChngMsg2",
                     c.png ? "네트워크를 바꾸는 동안 기다리십시오." : "Please wait.");
    cfg_.szNet[1] = c.network;
    CNetIndicator display(cfg_, strings);
    display.SetWindows(
        nv::core::MakeIndicatorWindows(reinterpret_cast<std::uintptr_t>(resources_), c.wanted));
    display.SetPump(&nv::core::PumpPaintMessages);
    display.SetNetwork(1);
    display.SetProgress(10, "");
    HWND dialog = ::FindWindowW(nullptr, L"Netvane");
    ASSERT_NE(dialog, nullptr);
    for (int id : {IDC_PROGRESS_TEXT1, IDC_PROGRESS_TEXT2}) {
      LOGFONTW font{};
      const auto used = reinterpret_cast<HFONT>(::SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0));
      ASSERT_NE(used, nullptr) << id;
      ASSERT_NE(::GetObjectW(used, sizeof font, &font), 0) << id;
      const std::string face = Narrow(font.lfFaceName);
      if (c.face.empty()) {
        EXPECT_EQ(font.lfCharSet, HANGUL_CHARSET) << face;
        EXPECT_FALSE(nv::text::EqualsNoCase(face, "Tahoma"));
      } else {
        EXPECT_TRUE(nv::text::EqualsNoCase(face, c.face)) << face;
      }
    }
    if (c.png != nullptr) {
      Screenshot(c.png, dialog);
      EXPECT_EQ(nv::testing::CheckHangulShown(reinterpret_cast<std::uintptr_t>(dialog)), "");
    }
    display.CloseProgress();
    EXPECT_FALSE(::IsWindow(dialog));
  }
}

}  // namespace
