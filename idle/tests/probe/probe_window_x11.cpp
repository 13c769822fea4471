#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include "probe_window.h"

int ShowProbeWindow(const char* title, int ms) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 2;
  const int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 320, 240, 0,
                                      BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, title);
  XSelectInput(display, window, KeyPressMask | PointerMotionMask | ButtonPressMask);
  XMapWindow(display, window);
  XFlush(display);
  for (int waited = 0; waited < ms; waited += 10) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
    }
    usleep(10000);
  }
  XCloseDisplay(display);
  return 0;
}
