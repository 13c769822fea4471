#include "timed_helpers.h"

namespace nv::headless {

void TimedSwitchEnvironment::Sleep(uint32_t ms) noexcept {
  WaitMeter::Scope scope(meter_);
  inner_.Sleep(ms);
}

void TimedChangeIpEnvironment::Sleep(uint32_t ms) noexcept {
  WaitMeter::Scope scope(meter_);
  inner_.Sleep(ms);
}

bool TimedChangeIpEnvironment::RunTool(const std::string& program, const std::string& arguments,
                                       uint32_t waitMs) noexcept {
  WaitMeter::Scope scope(meter_);
  return inner_.RunTool(program, arguments, waitMs);
}

int TimedNetUtil::LeaseIP(std::uint32_t interfaceNumber, int renew) noexcept {
  WaitMeter::Scope scope(meter_);
  return CNetUtil::LeaseIP(interfaceNumber, renew);
}

}  // namespace nv::headless
