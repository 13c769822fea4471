#include "netvane/change_ip.h"

namespace nv::core {

// The Windows 95 address tool has no counterpart here; that family never runs on this system.
IWinIpCfgWindow* SystemWinIpCfgWindow() noexcept { return nullptr; }

}  // namespace nv::core
