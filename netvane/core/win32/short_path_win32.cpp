#include "netvane/ad_folder.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace nv::core {

std::optional<std::string> SystemShortPath(const std::string& path) {
  // The device's record holds 256 bytes: a longer short form is no use to it.
  wchar_t buffer[256] = {};
  const DWORD n = ::GetShortPathNameW(nv::text::Widen(path).c_str(), buffer, 256);
  if (n == 0 || n >= 256) return std::nullopt;
  std::string text = nv::text::Narrow(std::wstring_view(buffer, n));
  if (text.size() >= 256) return std::nullopt;
  return text;
}

}  // namespace nv::core
