// LDNvChng.EXE: asks the running Netvane tray program for a change or its status (see README.md).
#include <cstdio>
#include <string>
#include <vector>

#include "change_request.h"
#include "platform/text.h"
#include "tray_channel_win32.h"

namespace {

// Console text as UTF-8 would be garbled in an old console code page: write UTF-16 to a console,
// UTF-8 to a file or pipe.
void Print(FILE* stream, DWORD handleId, const std::string& text) {
  HANDLE handle = ::GetStdHandle(handleId);
  DWORD mode = 0;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
    const std::wstring wide = nv::text::Widen(text);
    DWORD written = 0;
    ::WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

std::string WithNewline(std::string text) {
  if (text.empty() || text.back() != '\n') text += '\n';
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(nv::text::Narrow(argv[i]));
    const ldnvchng::ParseResult parsed = ldnvchng::ParseArguments(arguments);
    if (!parsed.ok) {
      Print(stderr, STD_ERROR_HANDLE, parsed.error + "\n" + ldnvchng::UsageText());
      return ldnvchng::kBadArgument;
    }
    ldnvchng::Win32TrayChannel tray;
    const ldnvchng::Outcome outcome = ldnvchng::RunRequest(parsed.request, tray);
    if (outcome.exitCode == ldnvchng::kDone) {
      Print(stdout, STD_OUTPUT_HANDLE, WithNewline(outcome.message));
    } else {
      Print(stderr, STD_ERROR_HANDLE, WithNewline(outcome.message));
    }
    return outcome.exitCode;
  } catch (...) {
    Print(stderr, STD_ERROR_HANDLE, "LDNvChng stopped by an unexpected error.\n");
    return ldnvchng::kNoAnswer;
  }
}
