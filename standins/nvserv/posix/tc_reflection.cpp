#include "posix/tc_reflection.h"

#include <vector>

#include "posix/interface_lookup.h"
#include "posix/run_program.h"
#include "src/transport.h"

namespace nvserv::posix {
namespace {

constexpr int kTcTimeoutMs = 5000;

std::string TcPath() { return FindExecutable({"/usr/sbin/tc", "/sbin/tc", "/usr/bin/tc", "/bin/tc"}); }

ProgramResult RunTc(const std::string& tc, const std::vector<std::string>& args) {
  std::vector<std::string> argv{tc};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, kTcTimeoutMs);
}

std::vector<std::string> ReflectFilter(const std::string& dev, int prio, const char* port) {
  return {
      "filter", "add",    "dev",    dev,        "egress",  "protocol", "ip",    "prio", std::to_string(prio),
      "u32",    "match",  "ip",     "protocol", "17",      "0xff",     "match", "ip",   "dport",
      port,     "0xffff", "action", "mirred",   "ingress", "redirect", "dev",   dev};
}

std::vector<std::string> DeleteFilter(const std::string& dev, int prio) {
  return {"filter", "del", "dev", dev, "egress", "protocol", "ip", "prio", std::to_string(prio)};
}

std::string Describe(const ProgramResult& r) {
  if (!r.started) return "tc could not be started";
  if (r.timedOut) return "tc did not finish in time";
  std::string text = "tc exited with " + std::to_string(r.exitCode);
  if (!r.output.empty()) text += ": " + r.output.substr(0, r.output.find('\n'));
  return text;
}

}  // namespace

bool TcReflection::Install(const std::string& interfaceName, std::string& error) {
  Remove();
  const std::string tc = TcPath();
  if (tc.empty()) {
    error = "tc not found (iproute2)";
    return false;
  }
  interface_ = interfaceName;
  // Adding the qdisc fails when the adapter already has one: then it is not ours to remove, and
  // it may hold filters of ours left over by a run that ended without cleaning up.  A qdisc just
  // added holds none, so the deletes (a few milliseconds each) are run only when they can matter.
  addedQdisc_ = RunTc(tc, {"qdisc", "add", "dev", interfaceName, "clsact"}).exitCode == 0;
  if (!addedQdisc_) {
    RunTc(tc, DeleteFilter(interfaceName, kServerPortPrio));
    RunTc(tc, DeleteFilter(interfaceName, kClientPortPrio));
  }
  installed_ = true;
  for (const auto& filter : {ReflectFilter(interfaceName, kServerPortPrio, "67"),
                             ReflectFilter(interfaceName, kClientPortPrio, "68")}) {
    const ProgramResult r = RunTc(tc, filter);
    if (r.exitCode != 0) {
      error = "reflect DHCP on " + interfaceName + ": " + Describe(r);
      Remove();
      return false;
    }
  }
  return true;
}

void TcReflection::Remove() noexcept {
  if (!installed_) return;
  installed_ = false;
  try {
    const std::string tc = TcPath();
    if (tc.empty()) return;
    if (addedQdisc_) {  // our own qdisc goes with every filter on it
      RunTc(tc, {"qdisc", "del", "dev", interface_, "clsact"});
    } else {
      RunTc(tc, DeleteFilter(interface_, kServerPortPrio));
      RunTc(tc, DeleteFilter(interface_, kClientPortPrio));
    }
    addedQdisc_ = false;
  } catch (...) {
    // Nothing more can be done; the filters stay until the adapter goes away.
  }
}

std::string TcReflection::RemoveStale(const std::string& interfaceName) noexcept {
  try {
    const std::string tc = TcPath();
    if (tc.empty()) return {};
    std::string removed;
    // A delete succeeds only when the filter is there: its exit code says what was left.
    for (const int prio : {kServerPortPrio, kClientPortPrio}) {
      if (RunTc(tc, DeleteFilter(interfaceName, prio)).exitCode != 0) continue;
      removed += std::string(removed.empty() ? "" : ", ") + "tc filter prio " + std::to_string(prio);
    }
    return removed.empty() ? removed : removed + " on " + interfaceName;
  } catch (...) {
    return {};
  }
}

}  // namespace nvserv::posix

namespace nvserv {

std::string RemoveStaleRedirection(const MacAddress& mac) noexcept {
  posix::InterfaceInfo adapter;
  try {
    if (!posix::FindInterfaceByMac(mac, adapter)) return {};
  } catch (...) {
    return {};
  }
  return posix::TcReflection::RemoveStale(adapter.name);
}

}  // namespace nvserv
