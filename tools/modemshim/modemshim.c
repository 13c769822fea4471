/* Modem-line shim for tests: pseudo-terminals have no DTR/RTS, so TIOCMGET, TIOCMSET, TIOCMBIS
 * and TIOCMBIC fail there with ENOTTY.  Preloaded (LD_PRELOAD), this library answers those calls
 * itself on such descriptors, keeps the line levels per device and appends the levels after every
 * set (TIOCMSET, TIOCMBIS, TIOCMBIC; also when unchanged) to the file named by NV_MODEMSHIM_LOG as
 * "<device> DTR=<0|1> RTS=<0|1>".  Everything else, and every
 * descriptor with real modem lines, goes to the real ioctl. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#define MAX_DEVICES 32

static struct {
  dev_t rdev;
  int bits;
} devices[MAX_DEVICES];
static int device_count;

static int* LinesOf(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return NULL;
  for (int i = 0; i < device_count; ++i)
    if (devices[i].rdev == st.st_rdev) return &devices[i].bits;
  if (device_count == MAX_DEVICES) return NULL;
  devices[device_count].rdev = st.st_rdev;
  devices[device_count].bits = 0; /* a fresh pseudo-terminal: both lines low */
  return &devices[device_count++].bits;
}

static void LogLines(int fd, int bits) {
  const char* log = getenv("NV_MODEMSHIM_LOG");
  char link[64], device[256];
  if (log == NULL || *log == '\0') return;
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, device, sizeof device - 1);
  device[n > 0 ? n : 0] = '\0';
  int out = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (out < 0) return;
  dprintf(out, "%s DTR=%d RTS=%d\n", device, !!(bits & TIOCM_DTR), !!(bits & TIOCM_RTS));
  close(out);
}

int ioctl(int fd, unsigned long request, ...) {
  static int (*real_ioctl)(int, unsigned long, ...);
  int saved_errno = errno;
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  if (real_ioctl == NULL) real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
  int result = real_ioctl(fd, request, arg);
  if (result == 0 || errno != ENOTTY || arg == NULL ||
      (request != TIOCMGET && request != TIOCMSET && request != TIOCMBIS && request != TIOCMBIC))
    return result;
  int* lines = isatty(fd) ? LinesOf(fd) : NULL;
  if (lines == NULL) return result; /* not a terminal: keep the real error */
  int value = *(int*)arg;
  if (request == TIOCMGET) {
    *(int*)arg = *lines;
  } else {
    if (request == TIOCMSET)
      *lines = value;
    else if (request == TIOCMBIS)
      *lines |= value;
    else
      *lines &= ~value;
    LogLines(fd, *lines);
  }
  errno = saved_errno;
  return 0;
}
