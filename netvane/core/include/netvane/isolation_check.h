// After a change: is anything of the network just left still in place on the adapter?  An
// address of its subnet, a route through or to it, a neighbour entry for its gateway, one of
// its name servers, or one of its drive letters still connected is a leftover, and each one
// is named so that an administrator can find and remove it.
#pragma once
#include <string>
#include <vector>

#include "nvutil/net_stack.h"

class CCfginfo;

namespace nv::core {

// What the workstation holds right after a change.
struct IsolationSnapshot {
  bool read = false;      // the adapter's tables could be read
  std::string readError;  // why not
  nvutil::AdapterSnapshot adapter;
  std::vector<std::string> connectedDrives;  // drive letters ("F:") that are connected now
  // The adapter just before the switch, on the network left: whatever of it is still held after
  // the change, is not link-local and is not the target network's, is a leftover too.
  bool beforeRead = false;
  std::string beforeError;  // why it was not read (empty: not taken)
  nvutil::AdapterSnapshot before;
  // The network left is a guess (a runner that keeps no state, after an interrupted change): the
  // adapter may have been on the target already, so every address it holds now is the target's.
  bool fromGuessed = false;
};

struct IsolationResult {
  enum class State { NotRun, Passed, Failed, NotChecked };
  State state = State::NotRun;
  std::vector<std::string> leftovers;  // one text per leftover, e.g. "route 10.91.1.0/24 (network A)"
  std::string problem;                 // NotChecked: why

  bool failedOrUnchecked() const noexcept { return state == State::Failed || state == State::NotChecked; }
  // "passed", "failed: route ...; neighbour entry ...", "not checked: ..."; empty when not run.
  std::string Summary() const;
};

// Judges `snapshot` against the configuration after a change to `target` (0 = A, 1 = B);
// `otherDrives` are the drive letters of the other network.
IsolationResult CheckIsolation(const CCfginfo& cfg, int target, const std::vector<std::string>& otherDrives,
                               const IsolationSnapshot& snapshot);

// The log line of its own that follows "ID%d": "ISOLATION OK", "ISOLATION FAILED(...)" or
// "ISOLATION NOT CHECKED(...)".
std::string IsolationLogLine(const IsolationResult& result);

}  // namespace nv::core
