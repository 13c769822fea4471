#include "dll_version_platform.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace corekit::detail {
namespace {

// The 20-byte record "DllGetVersion" fills (the shell's DLLVERSIONINFO).
struct DllVersionRecord {
  DWORD cbSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformID;
};
static_assert(sizeof(DllVersionRecord) == 20);
using DllGetVersionProc = HRESULT(CALLBACK*)(DllVersionRecord*);

class Win32VersionResource : public VersionResource {
 public:
  explicit Win32VersionResource(std::vector<uint8_t> block) : m_block(std::move(block)) {}

  std::vector<uint8_t> Translation() const override {
    void* data = nullptr;
    UINT size = 0;
    if (!::VerQueryValueW(m_block.data(), L"\\VarFileInfo\\Translation", &data, &size) || data == nullptr)
      return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
  }

  bool Text(const std::string& subBlock, std::string& text) const override {
    void* data = nullptr;
    UINT length = 0;  // in characters, with the terminating null
    if (!::VerQueryValueW(m_block.data(), nv::text::Widen(subBlock).c_str(), &data, &length) ||
        data == nullptr)
      return false;
    std::wstring wide(static_cast<const wchar_t*>(data), length);
    wide.resize(wcsnlen(wide.c_str(), wide.size()));
    text = nv::text::Narrow(wide);
    return true;
  }

 private:
  std::vector<uint8_t> m_block;
};

}  // namespace

bool ReadExportedVersion(const std::string& file, VersionNumbers& version) noexcept {
  const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  nv::win32::UniqueModule module(::LoadLibraryW(nv::text::Widen(file).c_str()));
  ::SetErrorMode(oldMode);
  if (!module) return false;
  auto proc = reinterpret_cast<DllGetVersionProc>(
      reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllGetVersion")));
  if (proc == nullptr) return false;
  DllVersionRecord record{};
  record.cbSize = sizeof record;
  if (FAILED(proc(&record))) return false;
  version = {record.dwMajorVersion, record.dwMinorVersion, record.dwBuildNumber, true};
  return true;
}

bool ReadVersionResource(const std::string& path,
                         const std::function<void(const VersionResource&)>& use) noexcept {
  try {
    const std::wstring wide = nv::text::Widen(path);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<uint8_t> block(size);
    if (!::GetFileVersionInfoW(wide.c_str(), 0, size, block.data())) return false;
    use(Win32VersionResource(std::move(block)));
    return true;
  } catch (...) {
    return false;
  }
}

std::string CurrentDirectory() {
  wchar_t folder[MAX_PATH];
  const DWORD n = ::GetCurrentDirectoryW(MAX_PATH, folder);
  return n == 0 || n >= MAX_PATH ? std::string() : nv::text::Narrow(std::wstring_view(folder, n));
}

uint16_t UserDefaultLanguage() noexcept { return ::GetUserDefaultLangID(); }

}  // namespace corekit::detail
