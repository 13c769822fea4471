#include "corekit/registry.h"
#include "name_fold.h"

bool RegistryNamesEqual(std::string_view a, std::string_view b) noexcept {
  try {
    return corekit::FoldName(a) == corekit::FoldName(b);
  } catch (...) {
    return false;
  }
}
