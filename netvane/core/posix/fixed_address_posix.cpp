// The fixed-settings step's calls on Linux. A change does not need them there (the DHCP
// emulation answers the adapter's own DHCP client), but nvchange undoes a record it finds at
// start: addresses and routes through iproute2's "ip" (argument vector, never a shell), what the
// adapter holds through rtnetlink, leases through the adapter's running DHCP client. Name servers
// are the DHCP client's resolver file on Linux: nothing of ours to set or take off.
#include <net/if.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "netvane/fixed_address.h"
#include "nvutil/ipv4.h"
#include "nvutil/net_stack.h"
#include "posix/run_program.h"

namespace nv::core {
namespace {

using Status = PlatformCall::Status;
constexpr int kIpTimeoutMs = 10000;

PlatformCall Answer(std::string call, Status status, uint32_t code = 0, std::string note = {}) {
  PlatformCall r;
  r.call = std::move(call);
  r.status = status;
  r.code = code;
  r.note = std::move(note);
  return r;
}

class LinuxFixedAddress : public IFixedAddressPlatform {
 public:
  LinuxFixedAddress() : stack_(nvutil::MakeSystemNetStack()) {}

  PlatformCall FindAdapterByMac(const std::array<uint8_t, 6>& mac, AdapterRef& out) override {
    const nvutil::Outcome found = stack_->FindInterfaceByMac(mac);
    if (!found.ok()) return Answer("FindInterfaceByMac", Status::NotFound, found.code, found.note);
    return FindAdapterByIndex(found.value, out);
  }
  PlatformCall FindAdapterByName(const std::string& name, AdapterRef& out) override {
    const unsigned index = name.size() < IF_NAMESIZE ? ::if_nametoindex(name.c_str()) : 0;
    if (index == 0) return Answer("if_nametoindex", Status::NotFound, 0, "no interface " + name);
    out = {name, index};
    return PlatformCall::Done("if_nametoindex");
  }
  PlatformCall ReleaseLease(const AdapterRef& a) override { return Lease(a, nvutil::LeaseAction::Release); }
  PlatformCall RenewLease(const AdapterRef& a) override { return Lease(a, nvutil::LeaseAction::Renew); }

  PlatformCall AddAddress(const AdapterRef& a, uint32_t address, uint32_t mask) override {
    const auto prefix = nvutil::MaskToPrefixLength(mask);
    if (!prefix) return Answer("ip addr add", Status::Refused, 22, "the mask is not contiguous");
    return Ip(
        {"-4", "addr", "add", nvutil::FormatDotted(address) + "/" + std::to_string(*prefix), "dev", a.name},
        "ip addr add");
  }
  PlatformCall AddDefaultRoute(const AdapterRef& a, uint32_t gateway) override {
    return Ip({"-4", "route", "add", "default", "via", nvutil::FormatDotted(gateway), "dev", a.name},
              "ip route add");
  }
  PlatformCall SetNameServers(const AdapterRef&, const std::vector<uint32_t>&) override {
    return Answer("SetNameServers", Status::Missing, 0, "the resolver file belongs to the DHCP client");
  }
  PlatformCall ClearNameServers(const AdapterRef&) override {
    return Answer("ClearNameServers", Status::NotFound, 0, "the resolver file belongs to the DHCP client");
  }

  PlatformCall ReadAddresses(const AdapterRef& a, AdapterAddressView& out) override {
    out = {};
    nvutil::AdapterSnapshot snapshot;
    const nvutil::Outcome read = stack_->ReadAdapter(a.index, snapshot);
    // The name servers come from a file that may be missing: the tables are what counts here.
    if (!read.ok() && snapshot.addresses.empty() && snapshot.routes.empty())
      return Answer("rtnetlink", Status::Refused, read.code, read.note);
    for (const auto& address : snapshot.addresses)
      out.addresses.push_back({address.address, nvutil::PrefixLengthToMask(address.prefixLength), true});
    for (const auto& route : snapshot.routes)
      if (route.destination == 0 && route.prefixLength == 0 && route.gateway != 0)
        out.gateways.push_back(route.gateway);
    return PlatformCall::Done("rtnetlink");
  }

  PlatformCall RemoveAddress(const AdapterRef& a, uint32_t address) override {
    AdapterAddressView view;
    if (const PlatformCall read = ReadAddresses(a, view); !read.ok()) return read;
    for (const auto& held : view.addresses) {
      if (held.address != address) continue;
      const int prefix = nvutil::MaskToPrefixLength(held.mask).value_or(32);
      return Ip(
          {"-4", "addr", "del", nvutil::FormatDotted(address) + "/" + std::to_string(prefix), "dev", a.name},
          "ip addr del");
    }
    return Answer("ip addr del", Status::NotFound);
  }
  PlatformCall RemoveDefaultRoute(const AdapterRef& a, uint32_t gateway) override {
    AdapterAddressView view;
    if (const PlatformCall read = ReadAddresses(a, view); !read.ok()) return read;
    if (std::find(view.gateways.begin(), view.gateways.end(), gateway) == view.gateways.end())
      return Answer("ip route del", Status::NotFound);
    return Ip({"-4", "route", "del", "default", "via", nvutil::FormatDotted(gateway), "dev", a.name},
              "ip route del");
  }

  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  // The interface's name is what the record keeps: it is what "ip" and the next start look for.
  static PlatformCall FindAdapterByIndex(uint32_t index, AdapterRef& out) {
    char name[IF_NAMESIZE] = {};
    if (::if_indextoname(index, name) == nullptr) return Answer("if_indextoname", Status::NotFound);
    out = {name, index};
    return PlatformCall::Done("FindInterfaceByMac");
  }

  PlatformCall Lease(const AdapterRef& a, nvutil::LeaseAction action) {
    const nvutil::Outcome done = stack_->Lease(a.index, action);
    const char* call = action == nvutil::LeaseAction::Renew ? "renew" : "release";
    if (done.ok()) return PlatformCall::Done(call, done.note);
    return Answer(call, done.code == nvutil::NotFoundCode() ? Status::NotFound : Status::Refused, done.code,
                  done.note);
  }

  static PlatformCall Ip(std::vector<std::string> arguments, const std::string& call) {
    const std::string ip =
        nvserv::posix::FindExecutable({"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"});
    if (ip.empty()) return Answer(call, Status::Missing, 0, "iproute2's ip is not installed");
    arguments.insert(arguments.begin(), ip);
    const nvserv::posix::ProgramResult run = nvserv::posix::RunProgram(arguments, kIpTimeoutMs);
    if (run.started && !run.timedOut && run.exitCode == 0) return PlatformCall::Done(call);
    std::string output = run.output;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return Answer(call, Status::Refused, static_cast<uint32_t>(run.exitCode),
                  run.timedOut ? "no answer within 10 s" : output);
  }

  std::unique_ptr<nvutil::NetStack> stack_;
};

}  // namespace

std::unique_ptr<IFixedAddressPlatform> MakeSystemFixedAddressPlatform() {
  return std::make_unique<LinuxFixedAddress>();
}

}  // namespace nv::core
