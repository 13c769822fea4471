#include "wpcap_api.h"

#include <string>

namespace rgtarn::wpcap {
namespace {

// Only from the system folder (or the subfolder some capture installs use), never from the
// current directory.
nv::win32::UniqueModule LoadFromSystem() noexcept {
  nv::win32::UniqueModule module(::LoadLibraryExW(L"wpcap.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (module) return module;
  wchar_t system[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return module;
  const std::wstring path = std::wstring(system, n) + L"\\Npcap\\wpcap.dll";
  module.reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  return module;
}

template <typename F>
bool Resolve(HMODULE module, const char* name, F& entry) noexcept {
  // Through void*: GetProcAddress's type says nothing about the real signature.
  entry = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  return entry != nullptr;
}

}  // namespace

bool Api::Load() noexcept try {
  module = LoadFromSystem();
  if (!module) return false;
  const HMODULE m = module.get();
  return Resolve(m, "pcap_open_live", open_live) && Resolve(m, "pcap_setfilter", setfilter) &&
         Resolve(m, "pcap_sendpacket", sendpacket) && Resolve(m, "pcap_close", close) &&
         Resolve(m, "pcap_findalldevs", findalldevs) && Resolve(m, "pcap_freealldevs", freealldevs);
} catch (...) {
  return false;
}

}  // namespace rgtarn::wpcap
