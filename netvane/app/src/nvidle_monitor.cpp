#include "nvidle_monitor.h"

#include "nvidle/NvIdle.h"
#include "platform/tick_count.h"

namespace nv::app {

bool NvIdleMonitor::Start() noexcept { return NvIdleInit() != 0; }
void NvIdleMonitor::Stop() noexcept { NvIdleTerm(); }
void NvIdleMonitor::Reset() noexcept { NvIdleReset(); }
uint32_t NvIdleMonitor::LastInputTime() noexcept { return NvIdleGetLastInputTime(); }
uint32_t NvIdleMonitor::Now() noexcept { return nv::TickCountMs(); }

}  // namespace nv::app
