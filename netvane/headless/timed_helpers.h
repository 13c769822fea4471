// Splits a change's time into the waits the design prescribes (the resend interval, the
// frame delays, the pauses around release and renew, the DHCP client's own exchange) and
// our own work, by timing every prescribed wait where it happens.
#pragma once
#include <chrono>
#include <cstdint>

#include "netvane/change_ip.h"
#include "netvane/switch_ctrl.h"
#include "nvutil/net_util.h"

namespace nv::headless {

class WaitMeter {
 public:
  using Clock = std::chrono::steady_clock;
  void Add(Clock::duration d) noexcept { waited_ += d; }
  void Reset() noexcept { waited_ = {}; }
  Clock::duration Waited() const noexcept { return waited_; }

  // Times the enclosing scope as a prescribed wait.
  class Scope {
   public:
    explicit Scope(WaitMeter& m) noexcept : m_(m), start_(Clock::now()) {}
    ~Scope() { m_.Add(Clock::now() - start_); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    WaitMeter& m_;
    Clock::time_point start_;
  };

 private:
  Clock::duration waited_{};
};

class TimedSwitchEnvironment : public nv::core::SwitchEnvironment {
 public:
  TimedSwitchEnvironment(nv::core::SwitchEnvironment& inner, WaitMeter& meter)
      : inner_(inner), meter_(meter) {}
  uint32_t TickCount() noexcept override { return inner_.TickCount(); }
  void Sleep(uint32_t ms) noexcept override;
  bool ReadLastSend(uint32_t& tick) noexcept override { return inner_.ReadLastSend(tick); }
  void WriteLastSend(uint32_t tick) noexcept override { inner_.WriteLastSend(tick); }
  std::unique_ptr<nv::serial::SerialPort> OpenComPort(unsigned n) noexcept override {
    return inner_.OpenComPort(n);
  }

 private:
  nv::core::SwitchEnvironment& inner_;
  WaitMeter& meter_;
};

class TimedChangeIpEnvironment : public nv::core::ChangeIpEnvironment {
 public:
  TimedChangeIpEnvironment(nv::core::ChangeIpEnvironment& inner, WaitMeter& meter)
      : inner_(inner), meter_(meter) {}
  void Sleep(uint32_t ms) noexcept override;
  bool RunTool(const std::string& program, const std::string& arguments, uint32_t waitMs) noexcept override;
  nv::core::IWinIpCfgWindow* WinIpCfg() noexcept override { return inner_.WinIpCfg(); }

 private:
  nv::core::ChangeIpEnvironment& inner_;
  WaitMeter& meter_;
};

// The release and renew wait for the DHCP client's exchange with the network.
class TimedNetUtil : public CNetUtil {
 public:
  explicit TimedNetUtil(WaitMeter& meter) : meter_(meter) {}
  int LeaseIP(std::uint32_t interfaceNumber, int renew) noexcept override;

 private:
  WaitMeter& meter_;
};

}  // namespace nv::headless
