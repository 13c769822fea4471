#include "os_facts.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace nv::corekit {
namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

// RtlGetVersion answers alike whatever manifest the running program carries; the caller then
// reads it the way GetVersionEx answers a program without one.
bool QueryVersion(OSVERSIONINFOW& info) {
  info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
    const auto proc = ::GetProcAddress(ntdll, "RtlGetVersion");
    if (proc != nullptr) {
      const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(proc));
      if (rtlGetVersion(&info) == 0) return true;
    }
  }
  return ::GetVersionExW(&info) != FALSE;
}

template <typename Query>
std::string QueryFolder(Query query) {
  std::wstring buffer(MAX_PATH, L'\0');
  UINT length = query(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length >= buffer.size()) {  // longer than MAX_PATH: the call said how much it needs
    buffer.resize(length);
    length = query(buffer.data(), static_cast<UINT>(buffer.size()));
  }
  if (length == 0 || length >= buffer.size()) return {};
  buffer.resize(length);
  return text::Narrow(buffer);
}

std::string QueryLanguage() {
  wchar_t language[4] = {};
  ::GetProfileStringW(L"intl", L"sLanguage", L"???", language, 4);
  if (std::wstring_view(language) != L"???") return text::Narrow(language);
  // Without that profile entry (newer systems, Wine) the user locale gives the same abbreviation;
  // "???" would name a string file that never exists.
  wchar_t abbreviation[16] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, abbreviation, 16) > 0) {
    return text::Narrow(abbreviation);
  }
  return "???";
}

}  // namespace

OsFacts QueryOsFacts() {
  OsFacts facts;
  OSVERSIONINFOW info;
  if (QueryVersion(info)) {
    facts.versionKnown = true;
    facts.version.dwOSVersionInfoSize = info.dwOSVersionInfoSize;
    facts.version.dwMajorVersion = info.dwMajorVersion;
    facts.version.dwMinorVersion = info.dwMinorVersion;
    facts.version.dwBuildNumber = info.dwBuildNumber;
    facts.version.dwPlatformId = info.dwPlatformId;
    facts.version.szCSDVersion = text::Narrow(info.szCSDVersion);
    facts.version = ReportedWithoutManifest(std::move(facts.version));
  }
  facts.systemDir = QueryFolder([](wchar_t* b, UINT n) { return ::GetSystemDirectoryW(b, n); });
  facts.windowsDir = QueryFolder([](wchar_t* b, UINT n) { return ::GetWindowsDirectoryW(b, n); });
  facts.languageSetting = QueryLanguage();
  return facts;
}

int RequestSystemExit(bool restart, bool nt) noexcept {
  if (!nt) return ::ExitWindowsEx(restart ? EWX_REBOOT : EWX_SHUTDOWN, 0);
  // Shutting down needs the shutdown privilege enabled in the own token first.
  win32::UniqueKernelHandle token;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
      ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
  }
  return ::InitiateSystemShutdownW(nullptr, nullptr, 0, FALSE, restart ? TRUE : FALSE);
}

}  // namespace nv::corekit
