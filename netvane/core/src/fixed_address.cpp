#include "netvane/fixed_address.h"

#include <algorithm>

#include "corekit/debug.h"
#include "netvane/cfginfo.h"
#include "nvutil/ipv4.h"

namespace nv::core {
namespace {

std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const auto bar = text.find('|', start);
    fields.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return fields;
    start = bar + 1;
  }
}

bool IsLinkLocal(uint32_t address) { return (address >> 16) == 0xA9FE; }  // 169.254/16

std::string SettingsText(const FixedSettings& s) {
  return nvutil::FormatDotted(s.address) + "/" + nvutil::FormatDotted(s.mask) + " gateway " +
         nvutil::FormatDotted(s.gateway);
}

FixedSettings SettingsOf(const NetCfgRecord& record, const std::string& adapter) {
  FixedSettings s;
  s.adapter = adapter;
  s.address = record.IPAddr;
  s.mask = record.NetMask;
  s.gateway = record.Gateway;
  for (uint32_t server : record.dns)
    if (server != 0) s.nameServers.push_back(server);
  return s;
}

}  // namespace

std::string FormatAppliedStatic(const FixedSettings& s) {
  std::string text = s.adapter + "|" + nvutil::FormatDotted(s.address) + "|" + nvutil::FormatDotted(s.mask) +
                     "|" + nvutil::FormatDotted(s.gateway);
  for (uint32_t server : s.nameServers) text += "|" + nvutil::FormatDotted(server);
  return text;
}

std::optional<FixedSettings> ParseAppliedStatic(const std::string& text) {
  const std::vector<std::string> fields = SplitBars(text);
  if (fields.size() < 4 || fields[0].empty()) return std::nullopt;
  FixedSettings s;
  s.adapter = fields[0];
  std::vector<uint32_t> numbers;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    const auto number = nvutil::ParseDotted(fields[i]);
    if (!number) return std::nullopt;
    numbers.push_back(*number);
  }
  if (numbers[0] == 0) return std::nullopt;  // a record names an address it set
  s.address = numbers[0];
  s.mask = numbers[1];
  s.gateway = numbers[2];
  s.nameServers.assign(numbers.begin() + 3, numbers.end());
  return s;
}

std::string PlatformCall::Describe() const {
  std::string text = call;
  switch (status) {
    case Status::Ok:
      text += " done";
      break;
    case Status::NotFound:
      text += ": nothing to act on";
      break;
    case Status::Refused:
      text += " refused (error " + std::to_string(code) + ")";
      break;
    case Status::Missing:
      text += " is not available on this system";
      break;
  }
  if (!note.empty()) text += ": " + note;
  return text;
}

PlatformCall PlatformCall::Done(std::string call, std::string note) {
  PlatformCall result;
  result.call = std::move(call);
  result.note = std::move(note);
  return result;
}

FixedAddressStep::FixedAddressStep(IFixedAddressPlatform& platform, IAppliedStaticStore& store, Trace trace)
    : platform_(platform), store_(store), trace_(std::move(trace)) {}

void FixedAddressStep::Say(const std::string& line) {
  if (trace_) {
    trace_(line);
  } else {
    CDebug::dprintf("FixedAddress: %s\n", line.c_str());
  }
}

FixedStepResult FixedAddressStep::Apply(const NetCfgRecord& target) {
  // Fixed settings of the network left (both networks fixed, or a failed return) come off first:
  // their record must not be written over while they may still be on the adapter.
  if (const FixedStepResult left = BackToDhcp(); !left.ok)
    return {false, "fixed settings not applied: those of the network left stay: " + left.detail};
  AdapterRef adapter;
  if (const PlatformCall found = platform_.FindAdapterByMac(target.ucMacAddr, adapter); !found.ok())
    return {false, "the adapter " + nvutil::FormatMac(target.ucMacAddr) + " was not found (" +
                       found.Describe() + ")"};
  const FixedSettings wanted = SettingsOf(target, adapter.name);

  // Recorded first: whatever happens from here on, the next start knows what to take off.
  const bool recorded = store_.Write(FormatAppliedStatic(wanted));
  // The lease of the network left must go even when nothing else can be done.
  const PlatformCall released = platform_.ReleaseLease(adapter);
  std::string unreleased;  // said with a failure: it may be why the old address stayed
  if (!released.ok() && released.status != PlatformCall::Status::NotFound) {
    unreleased = "; the lease was not released: " + released.Describe();
    Say("the lease could not be released: " + released.Describe());
  }
  if (!recorded) {
    return {false, "fixed settings not applied: the record " + std::string(kAppliedStaticValue) +
                       " could not be written"};
  }
  Say("applying " + SettingsText(wanted) + " on " + adapter.name);

  std::string failure;
  if (const PlatformCall added = platform_.AddAddress(adapter, wanted.address, wanted.mask); !added.ok()) {
    failure = added.Describe();
  } else if (wanted.gateway != 0) {
    if (const PlatformCall route = platform_.AddDefaultRoute(adapter, wanted.gateway); !route.ok())
      failure = route.Describe();
  }
  if (failure.empty() && !wanted.nameServers.empty()) {
    if (const PlatformCall dns = platform_.SetNameServers(adapter, wanted.nameServers); !dns.ok())
      failure = dns.Describe();
  }
  if (failure.empty()) failure = Verify(adapter, wanted);
  if (failure.empty()) {
    Say("applied " + SettingsText(wanted) + " on " + adapter.name);
    return {};
  }
  // Half-applied settings are taken off again; the lease stays released and the record stays
  // until the next change to a DHCP network, which renews.
  const FixedStepResult undone = Remove(wanted, adapter);
  if (!undone.ok) Say("taking the settings off again failed: " + undone.detail);
  return {false, "fixed settings not applied: " + failure + unreleased};
}

std::string FixedAddressStep::Verify(const AdapterRef& adapter, const FixedSettings& wanted) {
  std::string why;
  for (uint32_t waited = 0;; waited += kVerifyPollMs) {
    AdapterAddressView view;
    const PlatformCall read = platform_.ReadAddresses(adapter, view);
    if (!read.ok()) {
      why = "the adapter could not be read back (" + read.Describe() + ")";
    } else {
      const bool hasAddress = std::any_of(view.addresses.begin(), view.addresses.end(), [&](const auto& a) {
        return a.address == wanted.address && a.mask == wanted.mask;
      });
      const bool hasGateway = wanted.gateway == 0 || std::find(view.gateways.begin(), view.gateways.end(),
                                                               wanted.gateway) != view.gateways.end();
      const auto stray = std::find_if(view.addresses.begin(), view.addresses.end(), [&](const auto& a) {
        return a.address != wanted.address && a.address != 0 && !IsLinkLocal(a.address);
      });
      if (!hasAddress) {
        why = "the adapter does not show " + nvutil::FormatDotted(wanted.address) + "/" +
              nvutil::FormatDotted(wanted.mask);
      } else if (!hasGateway) {
        why = "the adapter does not show the gateway " + nvutil::FormatDotted(wanted.gateway);
      } else if (stray != view.addresses.end()) {
        why = "the adapter still holds " + nvutil::FormatDotted(stray->address);
      } else {
        return {};
      }
    }
    if (waited >= kVerifyWaitMs) return why + " after " + std::to_string(kVerifyWaitMs) + " ms";
    platform_.Sleep(kVerifyPollMs);
  }
}

FixedStepResult FixedAddressStep::Remove(const FixedSettings& settings, const AdapterRef& adapter) {
  std::string failure;
  const auto take = [&](const PlatformCall& call) {
    // Absent is what we want: taking off is idempotent.
    if (call.ok() || call.status == PlatformCall::Status::NotFound) return;
    if (!failure.empty()) failure += "; ";
    failure += call.Describe();
  };
  if (!settings.nameServers.empty()) take(platform_.ClearNameServers(adapter));
  if (settings.gateway != 0) take(platform_.RemoveDefaultRoute(adapter, settings.gateway));
  take(platform_.RemoveAddress(adapter, settings.address));
  if (failure.empty()) return {};
  return {false, failure};
}

FixedStepResult FixedAddressStep::BackToDhcp() {
  std::string text;
  bool present = false;
  if (!store_.Read(text, present))
    return {false, "the record " + std::string(kAppliedStaticValue) + " could not be read"};
  if (!present) return {};  // nothing of ours on the adapter
  const auto settings = ParseAppliedStatic(text);
  if (!settings) {
    // Recover() deals with a record it cannot read; a change only says so.
    return {false, "the record " + std::string(kAppliedStaticValue) + " does not parse: \"" + text + "\""};
  }
  AdapterRef adapter;
  const PlatformCall found = platform_.FindAdapterByName(settings->adapter, adapter);
  if (found.status == PlatformCall::Status::NotFound) {
    Say("the adapter " + settings->adapter + " is gone: its settings went with it");
  } else if (!found.ok()) {
    return {false, "fixed settings not taken off: " + found.Describe()};
  } else if (const FixedStepResult removed = Remove(*settings, adapter); !removed.ok) {
    return {false, "fixed settings not taken off: " + removed.detail};
  }
  if (!store_.Clear())
    return {false, "fixed settings taken off, but the record " + std::string(kAppliedStaticValue) +
                       " could not be cleared"};
  Say("fixed settings " + SettingsText(*settings) + " taken off " + settings->adapter);
  return {};
}

FixedStepResult FixedAddressStep::ResetAdapter(const AdapterRef& adapter) {
  // Nothing says what was set: take off every address set by hand, the default gateways on
  // their subnets and the name servers set by hand; the start-up change renews the lease.
  AdapterAddressView view;
  if (const PlatformCall read = platform_.ReadAddresses(adapter, view); !read.ok())
    return {false, read.Describe()};
  std::string failure;
  const auto take = [&](const PlatformCall& call) {
    if (call.ok() || call.status == PlatformCall::Status::NotFound) return;
    failure += (failure.empty() ? "" : "; ") + call.Describe();
  };
  take(platform_.ClearNameServers(adapter));
  for (uint32_t gateway : view.gateways) {
    const bool onManualSubnet = std::any_of(view.addresses.begin(), view.addresses.end(), [&](const auto& a) {
      return a.manual && (a.address & a.mask) == (gateway & a.mask);
    });
    if (onManualSubnet) take(platform_.RemoveDefaultRoute(adapter, gateway));
  }
  for (const auto& a : view.addresses)
    if (a.manual && !IsLinkLocal(a.address)) take(platform_.RemoveAddress(adapter, a.address));
  if (failure.empty()) return {};
  return {false, failure};
}

std::string FixedAddressStep::Recover(const NetCfgRecord& configured) {
  std::string text;
  bool present = false;
  if (!store_.Read(text, present)) {
    Say("the record " + std::string(kAppliedStaticValue) + " could not be read");
    return "RECOVER FAILED: the record " + std::string(kAppliedStaticValue) + " could not be read";
  }
  if (!present) return {};
  const auto settings = ParseAppliedStatic(text);
  std::string what;
  FixedStepResult undone;
  if (settings) {
    what = SettingsText(*settings) + " on " + settings->adapter;
    AdapterRef adapter;
    const PlatformCall found = platform_.FindAdapterByName(settings->adapter, adapter);
    if (found.status == PlatformCall::Status::NotFound) {
      Say("the adapter " + settings->adapter + " is gone: its settings went with it");
    } else if (!found.ok()) {
      undone = {false, found.Describe()};
    } else {
      undone = Remove(*settings, adapter);
    }
  } else {
    Say("the record " + std::string(kAppliedStaticValue) + " does not parse: \"" + text + "\"");
    what = "an unreadable record (\"" + text + "\")";
    AdapterRef adapter;
    const PlatformCall found = platform_.FindAdapterByMac(configured.ucMacAddr, adapter);
    if (!found.ok()) {
      undone = {false, found.Describe()};
    } else {
      what += " on " + adapter.name;
      undone = ResetAdapter(adapter);
    }
  }
  if (!undone.ok) {
    Say("recovery failed: " + undone.detail);
    return "RECOVER FAILED fixed settings of an interrupted change, " + what + ": " + undone.detail +
           " (the record stays)";
  }
  if (!store_.Clear())
    return "RECOVER fixed settings " + what + " taken off; the record could not be cleared";
  Say("recovered: " + what + " taken off, the record cleared");
  return "RECOVER fixed settings of an interrupted change taken off: " + what + "; DHCP is back";
}

}  // namespace nv::core
