// The isolation check as the change sequence's last step: reads what the workstation holds,
// judges it against the configuration, traces the result and hands it on (the log line of its
// own, the user's notice).  What it reads and where the result goes are given, so the step
// runs with fakes in tests and with the network helper and drive connections for real.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "netvane/change_steps.h"
#include "netvane/isolation_check.h"

class CCfginfo;
class CChangeIP;

namespace nv::core {

class IsolationStep : public IIsolationCheck {
 public:
  // The snapshot after a change to `network`, asking about the drive letters `drives`.
  using ReadSnapshot = std::function<IsolationSnapshot(int network, const std::vector<std::string>& drives)>;
  // The drive letters configured for `network`.
  using DriveLetters = std::function<std::vector<std::string>(int network)>;
  using Report = std::function<void(const IsolationResult&)>;

  IsolationStep(const CCfginfo& cfg, ReadSnapshot read, DriveLetters drives, Report report)
      : cfg_(cfg), read_(std::move(read)), drives_(std::move(drives)), report_(std::move(report)) {}

  void BeforeSwitch(int from, int target) override;
  // The runner could only guess the network it leaves (see IsolationSnapshot::fromGuessed).
  void SetFromGuessed(bool guessed) noexcept { fromGuessed_ = guessed; }
  IsolationResult CheckAfterChange(int network) override;
  const IsolationResult& last() const noexcept { return last_; }

 private:
  const CCfginfo& cfg_;
  ReadSnapshot read_;
  DriveLetters drives_;
  Report report_;
  IsolationResult last_;
  // The adapter before the switch, for the change to `beforeTarget_` (-1: none taken).
  int beforeTarget_ = -1;
  bool fromGuessed_ = false;
  IsolationSnapshot before_;
};

// The real snapshot: the target record's adapter through `address`'s network helper, and
// which of `drives` are connected on this system.
IsolationSnapshot ReadIsolationSnapshot(CChangeIP& address, const NetCfgRecord& target,
                                        const std::vector<std::string>& drives);

// Of `drives` ("F:"), those that are connected now; none where the system has no drive letters.
std::vector<std::string> ConnectedDriveLetters(const std::vector<std::string>& drives);

}  // namespace nv::core
