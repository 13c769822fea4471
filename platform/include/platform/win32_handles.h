// RAII owners for the Win32 handle kinds the programs hold.
#pragma once
#include "platform/unique_handle.h"
#include "platform/windows_api.h"

namespace nv::win32 {

struct FileHandleTraits {  // CreateFile, CreateNamedPipe, snapshots: invalid is INVALID_HANDLE_VALUE
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer h) noexcept { ::CloseHandle(h); }
};
struct KernelHandleTraits {  // processes, threads, events, mutexes: invalid is null
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
  using pointer = HKEY;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::RegCloseKey(h); }
};
struct ModuleTraits {
  using pointer = HMODULE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::FreeLibrary(h); }
};
struct WindowTraits {
  using pointer = HWND;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::DestroyWindow(h); }
};

struct FontTraits {
  using pointer = HFONT;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::DeleteObject(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueFont = UniqueHandle<FontTraits>;

}  // namespace nv::win32
