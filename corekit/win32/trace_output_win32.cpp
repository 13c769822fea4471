#include <algorithm>

#include "platform/text.h"
#include "platform/win32_handles.h"
#include "trace_output.h"

namespace nv::corekit {
namespace {

win32::UniqueFile g_console;  // guarded by CDebug's lock

}  // namespace

std::string ReadEnvironment(const char* name) {
  const std::wstring wideName = text::Widen(name);
  const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  if (length == 0 || length >= size) return {};
  value.resize(length);
  return text::Narrow(value);
}

std::string ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return text::Narrow(path);
    }
    path.resize(path.size() * 4);
  }
  return {};
}

void EmitTraceLine(std::string_view line) noexcept {
  try {
    ::OutputDebugStringW(text::Widen(line).c_str());
  } catch (...) {
  }
}

void AppendTraceFile(const std::string& path, std::string_view line) noexcept {
  try {
    win32::UniqueFile file(::CreateFileW(text::Widen(path).c_str(), FILE_APPEND_DATA,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  } catch (...) {
  }
}

bool OpenTraceConsole(int width, int height, const char* title) noexcept {
  try {
    if (!::AllocConsole()) return false;
    if (title != nullptr) ::SetConsoleTitleW(text::Widen(title).c_str());
    g_console.reset(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!g_console) return false;
    if (width > 0 && height > 0) {
      // The buffer keeps some history; the window shows `height` lines of it.
      const SHORT w = static_cast<SHORT>(std::min(width, 500));
      const SHORT h = static_cast<SHORT>(std::min(height, 500));
      ::SetConsoleScreenBufferSize(g_console.get(), COORD{w, static_cast<SHORT>(std::max<int>(h, 1000))});
      SMALL_RECT window{0, 0, static_cast<SHORT>(w - 1), static_cast<SHORT>(h - 1)};
      ::SetConsoleWindowInfo(g_console.get(), TRUE, &window);
    }
    return true;
  } catch (...) {
    return false;
  }
}

void WriteTraceConsole(std::string_view line) noexcept {
  try {
    if (!g_console) return;
    const std::wstring wide = text::Widen(line);
    DWORD written = 0;
    ::WriteConsoleW(g_console.get(), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } catch (...) {
  }
}

}  // namespace nv::corekit
