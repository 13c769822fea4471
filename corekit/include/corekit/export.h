// Corekit's classes are exported from Corekit.dll on Windows.  Callers need no
// dllimport: MinGW's auto-import resolves them through the import library.
#pragma once
#if defined(_WIN32) && defined(COREKIT_BUILD)
#define COREKIT_API __declspec(dllexport)
#else
#define COREKIT_API
#endif
