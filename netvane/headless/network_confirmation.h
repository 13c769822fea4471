// After a change: is the workstation really on the network it changed to?  The switch box gives
// no answer, so a box that stayed deaf leaves the new network's settings on the old network's
// wire.  The configured gateway tells: it answers, or at least resolves on this wire, and the
// default route goes through it.  What cannot be confirmed is not kept (the caller releases).
#pragma once
#include <cstdint>
#include <string>

#include "nvutil/net_stack.h"

namespace nv::headless {

struct NetworkConfirmation {
  enum class Verdict {
    Confirmed,      // the gateway answers through the default route
    GatewaySilent,  // on the right wire (the gateway resolves) but it does not answer
    NotConfirmed,   // wrong default route, or the gateway is not on this wire: release
  };
  Verdict verdict = Verdict::NotConfirmed;
  std::string detail;
};

// `snapshot`: the adapter after the gateway was tried (so its neighbour entry is fresh).
NetworkConfirmation ConfirmNetwork(uint32_t gateway, bool gatewayAnswered,
                                   const nvutil::AdapterSnapshot& snapshot);

}  // namespace nv::headless
