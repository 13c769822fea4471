// The tray program's gateway check is Windows only; the Linux runner has its own.
#include "netvane/gateway_watch.h"

namespace nv::core {

std::unique_ptr<IGatewayProbe> MakeGatewayProbe() { return nullptr; }

}  // namespace nv::core
