// Natively there are no windows and no desktop: the change display keeps only its state.
#include "netvane/desktop_links.h"
#include "netvane/indicator_windows.h"

namespace nv::core {

std::unique_ptr<IIndicatorWindows> MakeIndicatorWindows(std::uintptr_t, const std::string&) {
  return nullptr;
}

std::unique_ptr<IDesktopLinks> MakeDesktopLinks() { return nullptr; }

void PumpPaintMessages() {}

}  // namespace nv::core
