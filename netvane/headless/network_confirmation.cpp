#include "network_confirmation.h"

#include <algorithm>

#include "nvutil/ipv4.h"

namespace nv::headless {

NetworkConfirmation ConfirmNetwork(uint32_t gateway, bool gatewayAnswered,
                                   const nvutil::AdapterSnapshot& snapshot) {
  using Verdict = NetworkConfirmation::Verdict;
  const std::string configured = nvutil::FormatDotted(gateway);
  if (gateway == 0) return {Verdict::GatewaySilent, "no gateway is configured to confirm the network with"};
  for (const auto& route : snapshot.routes) {
    if (route.prefixLength == 0 && route.gateway != gateway)
      return {Verdict::NotConfirmed,
              "the default route goes through " +
                  (route.gateway ? nvutil::FormatDotted(route.gateway) : std::string("the link")) +
                  ", not the configured gateway " + configured};
  }
  if (gatewayAnswered) return {Verdict::Confirmed, "gateway " + configured + " answers"};
  const auto& seen = snapshot.neighbours;
  if (std::find(seen.begin(), seen.end(), gateway) != seen.end())
    return {Verdict::GatewaySilent, "gateway " + configured + " does not answer but is on this wire"};
  return {Verdict::NotConfirmed,
          "gateway " + configured + " is not on this wire (did the switch box switch?)"};
}

}  // namespace nv::headless
