// The one place that includes <windows.h>; everything Win32 includes this.
#pragma once
#ifndef _WIN32
#error "windows_api.h is for Windows builds only"
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
