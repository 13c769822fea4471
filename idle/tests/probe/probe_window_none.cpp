#include "probe_window.h"

int ShowProbeWindow(const char*, int) { return 2; }
