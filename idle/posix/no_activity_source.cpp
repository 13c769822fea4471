// Built when the X libraries are absent: there is no input source, so NvIdleInit returns 0.
#include "activity_source.h"

namespace nv::idle {

std::unique_ptr<ActivitySource> OpenActivitySource() noexcept { return nullptr; }

}  // namespace nv::idle
