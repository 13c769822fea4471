#include "corekit/registry.h"
#include "platform/text.h"
#include "platform/windows_api.h"

bool RegistryNamesEqual(std::string_view a, std::string_view b) noexcept {
  try {
    const std::wstring wa = nv::text::Widen(a), wb = nv::text::Widen(b);
    // Ordinal with case ignored: each code unit upper-cased by the simple mapping, as the
    // registry compares names.
    return ::CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                                  static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
  } catch (...) {
    return false;
  }
}
