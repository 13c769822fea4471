#include "corekit/module_string_source.h"

#include "default_strings.h"
#include "platform/text.h"

bool CModuleStringSource::Lookup(unsigned id, std::string& text) const noexcept {
  try {
    const HMODULE module = m_module ? m_module : ::GetModuleHandleW(nullptr);
    // With a buffer size of 0 LoadStringW hands out the read-only resource text itself, so no
    // length limit applies.
    const wchar_t* resource = nullptr;
    const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || resource == nullptr) return false;
    text = nv::text::Narrow(std::wstring_view(resource, static_cast<size_t>(length)));
    return true;
  } catch (...) {
    return false;
  }
}

namespace nv::corekit {

bool LoadDefaultString(unsigned id, std::string& text) noexcept {
  return CModuleStringSource(nullptr).Lookup(id, text);
}

}  // namespace nv::corekit
