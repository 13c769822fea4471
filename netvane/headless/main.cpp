// nvchange: one network change without the tray, for Linux (see README.md).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "corekit/debug.h"
#include "corekit/ini_file.h"
#include "corekit/os_version.h"
#include "corekit/registry_store_path.h"
#include "gateway_check.h"
#include "headless_steps.h"
#include "lab_defaults.h"
#include "netvane/cfginfo.h"
#include "netvane/change_audit.h"
#include "netvane/change_ip.h"
#include "netvane/change_sequence.h"
#include "netvane/fixed_address.h"
#include "netvane/frame_controller.h"
#include "netvane/gateway_watch.h"
#include "netvane/isolation_step.h"
#include "netvane/log_file.h"
#include "netvane/switch_ctrl.h"
#include "network_confirmation.h"
#include "network_in_force.h"
#include "nvutil/net_util.h"
#include "runner_options.h"
#include "store_check.h"
#include "timed_helpers.h"

namespace {

using nv::core::IAddressRenewal;
using nv::headless::RunnerOptions;
using Clock = std::chrono::steady_clock;

int ConfigureLab(const RunnerOptions& o) {
  // A new store is made here, but a broken one is named rather than written over.
  if (const auto problem = nv::headless::StoreProblem(corekit::RegistryStorePath(), true)) {
    std::fprintf(stderr, "nvchange: %s\n", problem->c_str());
    return 1;
  }
  nv::headless::LabEnvironment env;
  env.adapter = o.adapter;
  env.installDir = o.installDir;
  env.bothDhcp = o.bothDhcp;
  std::string error;
  if (!nv::headless::ReadInterfaceMac(o.adapter, env.mac, error) ||
      !nv::headless::WriteLabConfiguration(env, error)) {
    std::fprintf(stderr, "nvchange: %s\n", error.c_str());
    return 1;
  }
  std::printf("configured %s for the lab\n", o.adapter.c_str());
  return 0;
}

// Lab fault injection: arms the emulation with other settings than the configuration's.
class FaultyEmulation : public nv::core::IDhcpEmulation {
 public:
  FaultyEmulation(std::unique_ptr<nv::core::IDhcpEmulation> inner, const RunnerOptions& o)
      : inner_(std::move(inner)), mac_(o.faultEmulationMac), gateway_(o.faultEmulationGateway) {}
  int DrvOpen() noexcept override { return inner_->DrvOpen(); }
  int SetStartDHCP(const _uIPINFO& info) noexcept override {
    _uIPINFO changed = info;
    if (mac_) std::copy(mac_->begin(), mac_->end(), changed.ucMacAddr);
    if (gateway_) changed.dwGateway = *gateway_;
    return inner_->SetStartDHCP(changed);
  }
  int SetEndDHCP() noexcept override { return inner_->SetEndDHCP(); }
  int DrvClose() noexcept override { return inner_->DrvClose(); }
  std::string LastError() const override { return inner_->LastError(); }
  uint32_t DeclinedAddress() const noexcept override { return inner_->DeclinedAddress(); }
  std::string RemoveStale(const unsigned char (&mac)[6]) noexcept override {
    return inner_->RemoveStale(mac);
  }

 private:
  std::unique_ptr<nv::core::IDhcpEmulation> inner_;
  std::optional<std::array<uint8_t, 6>> mac_;
  std::optional<uint32_t> gateway_;
};

// A record of fixed settings left by a run that died: they come off before anything else.
std::string RecoverFixedSettings(const CCfginfo& cfg) {
  const auto platform = nv::core::MakeSystemFixedAddressPlatform();
  const auto store = nv::core::MakeRegistryAppliedStaticStore(cfg);
  nv::core::FixedAddressStep step(*platform, *store);
  return step.Recover(cfg.net[0]);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::unique_ptr<nv::core::IDhcpEmulation> MakeEmulation(const RunnerOptions& o) {
  auto emulation = nv::core::MakeDhcpEmulation();
  if (!o.faultEmulationMac && !o.faultEmulationGateway) return emulation;
  std::fprintf(stderr, "nvchange: fault injection: the DHCP emulation gets altered settings\n");
  return std::make_unique<FaultyEmulation>(std::move(emulation), o);
}

int RunChange(const RunnerOptions& o) {
  // Only --configure-lab creates a store: a broken or missing one is named, not replaced.
  if (const auto problem = nv::headless::StoreProblem(corekit::RegistryStorePath())) {
    std::fprintf(stderr, "nvchange: %s\n", problem->c_str());
    return 1;
  }
  COSversion os;
  CCfginfo cfg;
  cfg.LoadBase(os);
  CIniFile strings;  // the runner has no string file: names come from the registry or their keys
  cfg.LoadAll(strings);
  if (cfg.net[0].szBindName.empty()) {
    std::fprintf(stderr, "nvchange: no adapter is configured (run nvchange --configure-lab first)\n");
    return 1;
  }
  const std::string recovered = RecoverFixedSettings(cfg);
  if (!recovered.empty()) std::printf("%s\n", recovered.c_str());

  nv::headless::ConsoleReport report(stdout, o.quiet);
  nv::headless::WaitMeter waits;
  nv::headless::TimedSwitchEnvironment switchEnv(nv::core::SystemSwitchEnvironment(), waits);
  nv::headless::TimedChangeIpEnvironment ipEnv(nv::core::SystemChangeIpEnvironment(), waits);

  CSwitchCtrl switchBox(cfg, switchEnv);
  CChangeIP address(cfg, nv::core::OsFacts{os.m_name, os.m_osvi.dwMajorVersion},
                    std::make_unique<nv::headless::TimedNetUtil>(waits), MakeEmulation(o), ipEnv);
  std::unique_ptr<CLogFile> log;
  if ((cfg.dwOpt & 0x04) && cfg.InstalledPath.empty()) {
    // Never "/Log" at the root: a path that did not read back is no place for the log.
    std::fprintf(stderr, "nvchange: the log is on but InstalledPath is empty; no log is written\n");
  } else if (cfg.dwOpt & 0x04) {
    log = std::make_unique<CLogFile>(cfg.InstalledPath + "/Log", "", 90);
  }
  if (log && !recovered.empty()) log->Write("%s", recovered.c_str());

  nv::headless::ConsoleDisplay display(report, cfg.szNet[0], cfg.szNet[1]);
  nv::headless::UnavailablePrinters printers(report);
  nv::headless::HeadlessAfterChange after(report, [&](const std::string& line) {
    if (log) log->Write("%s", line.c_str());
  });
  nv::headless::ConsoleTray tray(report);
  // Linux has no drive letters; the check reads the adapter through the network helper.
  nv::core::IsolationStep isolation(
      cfg,
      [&](int network, const std::vector<std::string>& drives) {
        return nv::core::ReadIsolationSnapshot(address, cfg.net[network != 0 ? 1 : 0], drives);
      },
      nullptr,
      [&](const nv::core::IsolationResult& result) {
        if (log) log->Write("%s", nv::core::IsolationLogLine(result).c_str());
      });
  nv::core::ChangeSteps steps{display, printers, after, switchBox, address, tray};
  steps.isolation = &isolation;

  // First, before anything changes: what a runner that died left (the emulation's redirection of
  // the adapter's DHCP traffic, a change begun and never finished) is cleaned up and said.
  const bool emulationOpen = address.OpenDhcpEmu() != 0;
  const auto audit = nv::core::MakeSystemAuditSink(cfg.InstalledPath, [&](const std::string& line) {
    if (log) log->Write("%s", line.c_str());
  });
  // The network left: the one the last run switched to, unless a run died since (then the
  // cable may be on either side) or there is none; then the other one is the guess.
  const std::string inForcePath = nv::headless::NetworkInForcePath(cfg.InstalledPath);
  std::optional<int> inForce = nv::headless::ReadNetworkInForce(inForcePath);
  if (audit) {
    if (const auto interrupted = audit->TakeInterrupted()) {
      inForce.reset();
      std::fprintf(
          stderr,
          "nvchange: the change from network %s to network %s started %s was interrupted: its runner "
          "ended before it finished\n",
          interrupted->from ? "B" : "A", interrupted->to ? "B" : "A", interrupted->time.c_str());
    }
  }
  if (!emulationOpen) {
    std::fprintf(stderr, "nvchange: the DHCP emulation does not open (port 67 in use, or not root?)\n");
    return 1;
  }

  nv::core::ChangeState state;
  state.previous = inForce.value_or(1 - o.target);
  isolation.SetFromGuessed(!inForce);
  state.current = o.target;
  state.busy = 1;
  waits.Reset();
  const auto start = Clock::now();
  // nvchange is this system's change helper; its record goes beside the log once the runner
  // has also confirmed the network.
  nv::core::AuditRecord record =
      nv::core::RunAuditedChange(nv::core::ChangeTrigger::ChangeHelper, 1, state, cfg, steps, audit.get());
  const auto writeRecord = [&] {
    if (audit) audit->Write(record);
  };
  // Says whether the address was released and the adapter cleared to fail closed.
  const auto sayCleared = [](nv::core::AdapterClear clear, const char* why) {
    if (clear == nv::core::AdapterClear::Cleared) {
      std::fprintf(stderr,
                   "nvchange: the address is released and the adapter cleared: the workstation keeps no "
                   "settings %s\n",
                   why);
    } else if (clear == nv::core::AdapterClear::NotCleared) {
      std::fprintf(stderr,
                   "nvchange: the adapter could not be released and cleared entirely (see the trace)\n");
    }
  };
  if (!inForcePath.empty() && !nv::headless::WriteNetworkInForce(inForcePath, state.current))
    std::fprintf(stderr, "nvchange: %s could not be written: the next run will guess the network it leaves\n",
                 inForcePath.c_str());
  const auto took = Clock::now() - start;
  address.CloseDhcpEmu();

  const char* letter = o.target == 0 ? "A" : "B";
  const bool switched = state.current == o.target;
  std::printf("change to network %s: %s in %.0f ms (prescribed waits %.0f ms, own work %.1f ms)\n", letter,
              switched ? "done" : "abandoned (the switch box could not be commanded)", Ms(took),
              Ms(waits.Waited()), Ms(took - waits.Waited()));
  if (!switched) {
    writeRecord();
    return 2;
  }
  if (state.addressResult == nv::core::IAddressRenewal::kAddressInUse) {
    const std::string reason = address.AddressFailure();
    std::printf("change to network %s failed: %s\n", letter, reason.c_str());
    std::fprintf(stderr, "nvchange: %s\n", reason.c_str());
    if (log) log->Write("FAIL %s", reason.c_str());
    sayCleared(state.adapterClear, "of either network");
    writeRecord();
    return 5;
  }

  // A leftover of the network just left outweighs a silent gateway: it is what must never be.
  const nv::core::IsolationResult& isolated = isolation.last();
  std::printf("isolation check: %s\n", isolated.Summary().c_str());
  if (isolated.failedOrUnchecked()) {
    std::fprintf(stderr, "nvchange: isolation check %s\n", isolated.Summary().c_str());
    // The change has released and cleared the adapter: it held the new network's settings beside
    // the old one's, perhaps on the old wire.
    sayCleared(state.adapterClear, "of either network");
    writeRecord();
    return 4;
  }

  // No address of the target network: the address step has released and cleared the adapter,
  // so the workstation is on the new wire without any settings; no gateway can answer.
  const int addressResult = state.addressResult;
  if (addressResult == IAddressRenewal::kEmulationFailed || addressResult == IAddressRenewal::kRenewFailed) {
    const bool armed = addressResult == IAddressRenewal::kRenewFailed;
    const std::string why = armed
                                ? "the renew got no answer"
                                : "the DHCP emulation could not be armed (" + address.EmulationError() + ")";
    std::printf("network %s's address: not obtained, %s\n", letter, why.c_str());
    std::fprintf(stderr, "nvchange: no address of network %s: %s; the adapter keeps nothing of network %s\n",
                 letter, why.c_str(), o.target == 0 ? "B" : "A");
    if (log) log->Write("%s", armed ? nv::core::kLogRenewFailed : nv::core::kLogEmulationFailed);
    writeRecord();
    return 3;
  }

  nvutil::AdapterSnapshot held;
  std::string unread;
  address.ReadAdapter(cfg.net[o.target], held, unread);
  // A network served by DHCP may have no stored gateway: its lease's (the one default route) is
  // the one to confirm it with.
  uint32_t gateway = cfg.net[o.target].Gateway;
  if (gateway == 0 && cfg.net[o.target].useDhcp) {
    const auto defaults = std::count_if(held.routes.begin(), held.routes.end(),
                                        [](const auto& r) { return r.prefixLength == 0 && r.gateway != 0; });
    for (const auto& r : held.routes)
      if (defaults == 1 && r.prefixLength == 0 && r.gateway != 0) gateway = r.gateway;
  }
  const auto answer = nv::headless::CheckGateway(gateway, o.gatewayWaitMs);
  // The same line the tray program writes after each change's "ID%d".
  if (log)
    log->Write("%s",
               nv::core::GatewayLogLine({o.target, gateway, {answer.answered, answer.rttMs, answer.detail}})
                   .c_str());
  const auto confirmed = nv::headless::ConfirmNetwork(gateway, answer.answered, held);
  using Verdict = nv::headless::NetworkConfirmation::Verdict;
  record.steps.push_back({"network confirmation", o.target, confirmed.verdict == Verdict::Confirmed ? 1 : 0,
                          Ms(Clock::now() - start - took)});
  const std::string gatewayText = nv::core::DottedAddress(gateway);
  if (confirmed.verdict == Verdict::Confirmed) {
    writeRecord();
    std::printf("network %s's gateway %s answers (%.1f ms)\n", letter, gatewayText.c_str(), answer.rttMs);
    return 0;
  }
  if (answer.answered) {
    std::printf("network %s's gateway %s answers, but %s\n", letter, gatewayText.c_str(),
                confirmed.detail.c_str());
  } else {
    std::printf("network %s's gateway %s does not answer: %s\n", letter, gatewayText.c_str(),
                answer.detail.c_str());
  }
  std::fprintf(stderr, "nvchange: %s\n", confirmed.detail.c_str());
  record.outcome = "changed, " + confirmed.detail;
  // Settings of a network that could not be confirmed may sit on the other network's wire:
  // none are better than those.
  if (confirmed.verdict == Verdict::NotConfirmed) {
    const auto clear = address.ClearAddresses(cfg.net[o.target]) != 0 ? nv::core::AdapterClear::Cleared
                                                                      : nv::core::AdapterClear::NotCleared;
    sayCleared(clear, "of an unconfirmed network");
    record.outcome += nv::core::AdapterClearOutcome(clear);
  }
  writeRecord();
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = nv::headless::ParseRunnerOptions(args, error);
  if (!options) {
    std::fprintf(stderr, "nvchange: %s\n\n%s", error.c_str(), nv::headless::kRunnerUsage);
    return 64;
  }
  switch (options->action) {
    case RunnerOptions::Action::Help:
      std::fputs(nv::headless::kRunnerUsage, stdout);
      return 0;
    case RunnerOptions::Action::ConfigureLab:
      return ConfigureLab(*options);
    case RunnerOptions::Action::Change:
      break;
  }
  try {
    return RunChange(*options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "nvchange: %s\n", e.what());
    return 1;
  }
}
