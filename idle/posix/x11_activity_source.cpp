#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "activity_source.h"

namespace nv::idle {
namespace {

// The X server counts the time since the last real input event (not synthetic events sent to
// one window), which is what a system-wide hook would have seen.
class X11ActivitySource final : public ActivitySource {
 public:
  X11ActivitySource(Display* display, XScreenSaverInfo* info) : display_(display), info_(info) {
    // Xlib ends the whole process when the server goes away unless both the process-wide error
    // handler and this display's exit handler return; the program must outlive its X server.
    // (The tray program draws nothing through X itself, so taking the process-wide handler is safe.)
    XSetIOErrorHandler(&ReturnFromIOError);
    XSetIOErrorExitHandler(display_, &X11ActivitySource::OnConnectionLost, this);
  }
  ~X11ActivitySource() override {
    XFree(info_);
    // Closing a connection whose server went away blocks inside Xlib; leave it to process exit.
    if (!lost_) XCloseDisplay(display_);
  }
  X11ActivitySource(const X11ActivitySource&) = delete;
  X11ActivitySource& operator=(const X11ActivitySource&) = delete;

  bool IdleMilliseconds(std::uint32_t& ms) noexcept override {
    if (lost_) return false;
    if (!XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), info_)) return false;
    ms = static_cast<std::uint32_t>(info_->idle);
    return true;
  }

 private:
  static int ReturnFromIOError(Display*) { return 0; }
  static void OnConnectionLost(Display*, void* self) { static_cast<X11ActivitySource*>(self)->lost_ = true; }

  Display* display_;
  bool lost_ = false;
  XScreenSaverInfo* info_;
};

}  // namespace

std::unique_ptr<ActivitySource> OpenActivitySource() noexcept {
  if (std::getenv("DISPLAY") == nullptr) return nullptr;
  // A busy server refuses connections for a moment (EAGAIN on its full listen queue).
  Display* display = XOpenDisplay(nullptr);
  for (int attempt = 1; display == nullptr && attempt < 10; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    display = XOpenDisplay(nullptr);
  }
  if (display == nullptr) return nullptr;
  int eventBase = 0;
  int errorBase = 0;
  XScreenSaverInfo* info = nullptr;
  if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase) ||
      (info = XScreenSaverAllocInfo()) == nullptr) {
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<X11ActivitySource>(display, info);
}

}  // namespace nv::idle
