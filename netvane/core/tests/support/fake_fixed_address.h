// A fake of the fixed-settings step's platform that holds one adapter's state the way the IP
// helper tables show it and refuses any one call on request, and a fake of the record's store.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "netvane/fixed_address.h"
#include "nvutil/ipv4.h"

namespace nv::core::testing {

using Status = PlatformCall::Status;

inline uint32_t Ip(const char* text) { return *nvutil::ParseDotted(text); }

inline constexpr std::array<uint8_t, 6> kMac = {0x02, 0x6e, 0x76, 0x00, 0x00, 0x01};
inline const char* const kAdapter = "{5D1F2A3B-0000-4E76-A000-000000000001}";

// One adapter: a DHCP lease (address, mask, gateway) and what was set by hand.
struct AdapterState {
  bool leased = true;
  uint32_t leaseAddress = Ip("10.91.1.128");
  uint32_t leaseGateway = Ip("10.91.1.1");
  std::map<uint32_t, uint32_t> manual;  // address -> mask
  std::set<uint32_t> routes;            // default gateways set by hand
  std::vector<uint32_t> nameServers;    // set by hand
  bool Clean() const { return manual.empty() && routes.empty() && nameServers.empty(); }
};

// Which call refuses, and how: the n-th call of that name (counting from 1).
struct Refusal {
  std::string call;
  int occurrence = 1;
  Status status = Status::Refused;
};

class FakePlatform : public nv::core::IFixedAddressPlatform {
 public:
  AdapterState state;
  std::vector<std::string> calls;
  Refusal refusal;
  bool adapterPresent = true;

  PlatformCall FindAdapterByMac(const std::array<uint8_t, 6>& mac, AdapterRef& out) override {
    if (auto r = Refuse("FindAdapterByMac")) return *r;
    if (!adapterPresent || mac != kMac) return Answer("GetAdaptersInfo", Status::NotFound);
    out = {kAdapter, 7};
    return PlatformCall::Done("GetAdaptersInfo");
  }
  PlatformCall FindAdapterByName(const std::string& name, AdapterRef& out) override {
    if (auto r = Refuse("FindAdapterByName")) return *r;
    if (!adapterPresent || name != kAdapter) return Answer("GetAdaptersInfo", Status::NotFound);
    out = {kAdapter, 7};
    return PlatformCall::Done("GetAdaptersInfo");
  }
  PlatformCall ReleaseLease(const AdapterRef& a) override {
    if (auto r = Refuse("ReleaseLease", a)) return *r;
    if (!state.leased) return Answer("IpReleaseAddress", Status::NotFound);
    state.leased = false;
    return PlatformCall::Done("IpReleaseAddress");
  }
  PlatformCall RenewLease(const AdapterRef& a) override {
    if (auto r = Refuse("RenewLease", a)) return *r;
    state.leased = true;
    return PlatformCall::Done("IpRenewAddress");
  }
  PlatformCall AddAddress(const AdapterRef& a, uint32_t address, uint32_t mask) override {
    if (auto r = Refuse("AddAddress", a)) return *r;
    if (state.manual.count(address) != 0) return Answer("CreateUnicastIpAddressEntry", Status::Refused, 5010);
    state.manual[address] = mask;
    return PlatformCall::Done("CreateUnicastIpAddressEntry");
  }
  PlatformCall AddDefaultRoute(const AdapterRef& a, uint32_t gateway) override {
    if (auto r = Refuse("AddDefaultRoute", a)) return *r;
    // As the real stack does: a next hop must be on a subnet the adapter holds.
    const bool reachable = std::any_of(state.manual.begin(), state.manual.end(), [&](const auto& m) {
      return (m.first & m.second) == (gateway & m.second);
    });
    if (!reachable) return Answer("CreateIpForwardEntry2", Status::Refused, 1232);
    state.routes.insert(gateway);
    return PlatformCall::Done("CreateIpForwardEntry2");
  }
  PlatformCall SetNameServers(const AdapterRef& a, const std::vector<uint32_t>& servers) override {
    if (auto r = Refuse("SetNameServers", a)) return *r;
    state.nameServers = servers;
    return PlatformCall::Done("SetInterfaceDnsSettings");
  }
  PlatformCall ReadAddresses(const AdapterRef& a, AdapterAddressView& out) override {
    if (auto r = Refuse("ReadAddresses", a)) return *r;
    out = {};
    if (state.leased) {
      out.addresses.push_back({state.leaseAddress, Ip("255.255.255.0"), false});
      out.gateways.push_back(state.leaseGateway);
    }
    for (const auto& [address, mask] : state.manual) out.addresses.push_back({address, mask, true});
    out.gateways.insert(out.gateways.end(), state.routes.begin(), state.routes.end());
    return PlatformCall::Done("GetUnicastIpAddressTable");
  }
  PlatformCall RemoveAddress(const AdapterRef& a, uint32_t address) override {
    if (auto r = Refuse("RemoveAddress", a)) return *r;
    if (state.leased && address == state.leaseAddress) {
      state.leased = false;
      return PlatformCall::Done("DeleteUnicastIpAddressEntry");
    }
    if (state.manual.erase(address) == 0)
      return Answer("DeleteUnicastIpAddressEntry", Status::NotFound, 1168);
    return PlatformCall::Done("DeleteUnicastIpAddressEntry");
  }
  PlatformCall RemoveDefaultRoute(const AdapterRef& a, uint32_t gateway) override {
    if (auto r = Refuse("RemoveDefaultRoute", a)) return *r;
    if (state.leased && gateway == state.leaseGateway) return PlatformCall::Done("DeleteIpForwardEntry2");
    if (state.routes.erase(gateway) == 0) return Answer("DeleteIpForwardEntry2", Status::NotFound, 1168);
    return PlatformCall::Done("DeleteIpForwardEntry2");
  }
  PlatformCall ClearNameServers(const AdapterRef& a) override {
    if (auto r = Refuse("ClearNameServers", a)) return *r;
    state.nameServers.clear();
    return PlatformCall::Done("SetInterfaceDnsSettings");
  }
  void Sleep(uint32_t ms) override { slept += ms; }
  uint32_t slept = 0;

 private:
  static PlatformCall Answer(const char* call, Status status, uint32_t code = 0) {
    PlatformCall r;
    r.call = call;
    r.status = status;
    r.code = code;
    return r;
  }
  std::optional<PlatformCall> Refuse(const std::string& name, const AdapterRef& a = {kAdapter, 7}) {
    calls.push_back(name);
    EXPECT_EQ(a.name, kAdapter) << name;  // never another adapter
    if (name != refusal.call) return std::nullopt;
    if (std::count(calls.begin(), calls.end(), name) != refusal.occurrence) return std::nullopt;
    return Answer(name.c_str(), refusal.status, refusal.status == Status::Missing ? 127 : 5);
  }
};

class FakeStore : public nv::core::IAppliedStaticStore {
 public:
  std::optional<std::string> value;
  std::vector<std::string>* calls = nullptr;
  Refusal refusal;

  bool Read(std::string& text, bool& present) override {
    if (Refuse("store.Read")) return false;
    present = value.has_value();
    if (present) text = *value;
    return true;
  }
  bool Write(const std::string& text) override {
    if (Refuse("store.Write")) return false;
    value = text;
    return true;
  }
  bool Clear() override {
    if (Refuse("store.Clear")) return false;
    value.reset();
    return true;
  }

 private:
  bool Refuse(const std::string& name) {
    calls->push_back(name);
    return name == refusal.call && std::count(calls->begin(), calls->end(), name) == refusal.occurrence;
  }
};

}  // namespace nv::core::testing
