// Screenshots that a test can trust (Windows test programs under Wine).  The picture is taken of
// one window, on an X display of the test's own (scripts/own-display.sh sets NV_OWN_DISPLAY), and
// is kept only when it shows that window: it must be the one in front among the windows that can
// reach the display, match what the window itself drew (so nothing covers it) and not be nearly
// one colour.  A rejected picture is kept as "<name>.rejected.png" beside the artifacts so a
// person can see why.  Tests then run their own pixel checks (image_checks.h) on the pixels.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/testing/image_checks.h"

namespace nv::testing {

struct ScreenshotOptions {
  std::string file;                      // "dialog-about.png", in NV_TEST_ARTIFACT_DIR (else a temp folder)
  std::vector<unsigned long> processes;  // other processes whose windows share the display
  std::function<void()> pump;            // keeps this thread's windows painting while waiting
  double maxDiffering = 0.02;            // share of pixels that may differ from the window's own drawing
};

struct Screenshot {
  bool ok = false;
  std::string why;   // what is wrong with it, when not ok
  std::string path;  // the kept PNG (a Unix path)
  RgbImage image;    // its pixels
  int left = 0;      // screen position of its top-left pixel
  int top = 0;
};

// `window` is an HWND.
Screenshot TakeWindowScreenshot(std::uintptr_t window, const ScreenshotOptions& options);

// Pixel checks of the skinned look on a picture of `window` (taken by TakeWindowScreenshot): no
// row of any visible push button's face is a band of the background beside it; every visible
// push button's, check box's and radio button's caption, enabled or not, reaches a contrast of
// 4.5:1 against its face; no magenta shows anywhere.  Empty when all hold, else one line each.
std::string CheckSkinnedLook(std::uintptr_t window, const Screenshot& shot);
// Texts of `window` (its caption included) and its controls that hold Hangul draw every Hangul
// character as a glyph, not as nothing or the missing-glyph box, with the font each is drawn in
// (font linking included).  Empty when so; else what is wrong (also when nothing shows Hangul).
std::string CheckHangulShown(std::uintptr_t window);

// The pixels of a PNG file (a Unix path) as ImageMagick reads them; no pixels when it cannot.
RgbImage ReadPicture(const std::string& unixPath);

// Runs `script` with Linux's /bin/sh from a Windows test program under Wine and waits until the
// file `doneUnixPath` exists (Wine cannot wait for a Linux program), keeping this thread's
// windows painting with `pump` (null: this thread's messages).  False when /bin/sh could not be
// started or the file did not come within `limitMs`.
bool RunLinuxShell(const std::string& script, const std::string& doneUnixPath,
                   const std::function<void()>& pump, int limitMs = 30000);

// A 32-bit device-independent bitmap, rows from the top, that the caller draws into or reads:
// `bitmap` is its HBITMAP (0 when it could not be made; the caller deletes it), `pixels` its
// width * height pixels 0x00RRGGBB.  `dc`: an HDC it is made compatible with, or 0.
struct DibSection {
  std::uintptr_t bitmap = 0;
  uint32_t* pixels = nullptr;
};
DibSection MakeDibSection(std::uintptr_t dc, int width, int height);

// The folder screenshots go to: NV_TEST_ARTIFACT_DIR, else a folder below the temp folder (Unix paths).
std::string ScreenshotFolder();

}  // namespace nv::testing
