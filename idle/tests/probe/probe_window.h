#pragma once

// Shows a window with this title that takes keyboard and mouse input, for `ms` milliseconds.
// Returns the probe's exit code: 0 when shown, 2 when no window can be made here.
int ShowProbeWindow(const char* title, int ms);
