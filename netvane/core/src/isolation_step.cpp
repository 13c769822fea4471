#include "netvane/isolation_step.h"

#include "corekit/debug.h"
#include "netvane/cfginfo.h"
#include "netvane/change_ip.h"

namespace nv::core {

void IsolationStep::BeforeSwitch(int from, int target) {
  before_ = read_ ? read_(from, {}) : IsolationSnapshot{};
  beforeTarget_ = target;
  CDebug::dprintf("Isolation before the switch (%d->%d): %s\n", from, target,
                  before_.read ? "read" : before_.readError.c_str());
}

IsolationResult IsolationStep::CheckAfterChange(int network) {
  const std::vector<std::string> otherDrives =
      drives_ ? drives_(1 - (network != 0 ? 1 : 0)) : std::vector<std::string>{};
  IsolationSnapshot snapshot;
  if (read_) {
    snapshot = read_(network, otherDrives);
  } else {
    snapshot.readError = "nothing to read the adapter with";
  }
  if (beforeTarget_ == network) {
    snapshot.beforeRead = before_.read;
    snapshot.beforeError = before_.read ? "" : before_.readError;
    snapshot.before = std::move(before_.adapter);
    snapshot.fromGuessed = fromGuessed_;
  }
  beforeTarget_ = -1;
  before_ = {};
  last_ = CheckIsolation(cfg_, network, otherDrives, snapshot);
  CDebug::dprintf("Isolation(%d) %s\n", network, last_.Summary().c_str());
  if (report_) report_(last_);
  return last_;
}

IsolationSnapshot ReadIsolationSnapshot(CChangeIP& address, const NetCfgRecord& target,
                                        const std::vector<std::string>& drives) {
  IsolationSnapshot snapshot;
  snapshot.read = address.ReadAdapter(target, snapshot.adapter, snapshot.readError) != 0;
  snapshot.connectedDrives = ConnectedDriveLetters(drives);
  return snapshot;
}

}  // namespace nv::core
