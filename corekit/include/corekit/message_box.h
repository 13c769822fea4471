// Message boxes of Corekit and the programs.  With the environment variable NV_NO_MESSAGEBOX set
// to 1 (unattended runs, tests) no box is shown: the text becomes the trace line
// "MessageBox(<caption>): <text>" and the box counts as answered with `unattendedAnswer`.
// Natively there is no box at all: always the trace line.  A test program may install a sink
// that receives every box instead, to see the texts in-process.
#pragma once
#include <functional>
#include <string>

#include "corekit/export.h"

namespace corekit {

// The platform's box styles and answers, with their Win32 values on every platform.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr unsigned kMbSystemModal = 0x1000;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;

struct MessageBoxRequest {
  void* owner = nullptr;  // the owner window (HWND) or null
  std::string caption;
  std::string text;
  unsigned type = kMbOk;
  int unattendedAnswer = kIdOk;
};

using MessageBoxSink = std::function<int(const MessageBoxRequest&)>;

COREKIT_API int ShowMessageBox(void* owner, const std::string& caption, const std::string& text,
                               unsigned type, int unattendedAnswer = kIdOk) noexcept;

// Installs `sink` (an empty one restores the platform's box) and gives back the one it replaces.
COREKIT_API MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);

}  // namespace corekit
