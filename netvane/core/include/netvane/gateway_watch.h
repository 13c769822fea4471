// After each change: does the new network's gateway answer?  The check runs off the main
// thread with a time limit, so the tray stays responsive; the frame collects the result when
// told (the `ready` callback, called on the worker thread, only wakes it), puts it into the tray
// tip and writes it to the log as a line of its own after the change's "ID%d" line.
//
// GatewayWatch wraps the drive step: AfterSwitch runs the drive step (which writes "ID%d"),
// then starts the check; BeforeSwitch of the next change stops a check still running, so a
// result never describes an older change.  Main thread, except the worker it owns.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "netvane/change_steps.h"

class CCfginfo;

namespace nv::core {

struct GatewayAnswer {
  bool answered = false;
  double rttMs = 0;
  std::string detail;  // why not, when it did not answer
};

class IGatewayProbe {
 public:
  virtual ~IGatewayProbe() = default;
  // ICMP echo requests to `gateway` until one is answered, `waitMs` has passed or `stop` is set.
  virtual GatewayAnswer Echo(uint32_t gateway, unsigned waitMs, const std::atomic<bool>& stop) = 0;
  // The gateway of the default route now in use; 0 when there is none.
  virtual uint32_t CurrentGateway() = 0;
};

// IcmpSendEcho of the IP helper API on Windows; null natively (the Linux runner checks itself).
std::unique_ptr<IGatewayProbe> MakeGatewayProbe();

struct GatewayCheck {
  int network = 0;
  uint32_t gateway = 0;
  GatewayAnswer answer;
};

// The gateway a change to `network` routes through, as the change sequence sets it: the
// record's own, or network A's when one fixed configuration shares it; 0 when the record names
// none (an address from DHCP).
uint32_t GatewayOf(const CCfginfo& cfg, int network);
// The log line, e.g. "GW 10.0.2.1 answers (2 ms)" or "GW 10.0.2.1 no answer (no answer within 3000 ms)".
std::string GatewayLogLine(const GatewayCheck& check);
// The tray tip: "<name> in force", or a plain warning that the gateway does not answer.
std::string GatewayTip(const std::string& networkName, const GatewayCheck& check);

class GatewayWatch final : public IDriveStep {
 public:
  static constexpr unsigned kDefaultWaitMs = 3000;

  GatewayWatch(const CCfginfo& cfg, IDriveStep& drives, std::unique_ptr<IGatewayProbe> probe,
               std::function<void()> ready, unsigned waitMs = kDefaultWaitMs);
  ~GatewayWatch() override;
  GatewayWatch(const GatewayWatch&) = delete;
  GatewayWatch& operator=(const GatewayWatch&) = delete;

  void BeforeSwitch(int network) override;
  void AfterSwitch(int network) override;

  // The finished check, once; nothing while one runs or after it was taken.
  std::optional<GatewayCheck> TakeResult();
  // Stops a running check and waits for its thread (a fraction of a second at most).
  void Stop();
  // For tests: waits until the running check (if any) is over.
  void Wait();

 private:
  const CCfginfo& cfg_;
  IDriveStep& drives_;
  std::unique_ptr<IGatewayProbe> probe_;
  std::function<void()> ready_;
  unsigned waitMs_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::optional<GatewayCheck> result_;
  std::thread worker_;
};

}  // namespace nv::core
