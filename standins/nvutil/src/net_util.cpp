#include "nvutil/net_util.h"

#include <exception>
#include <utility>

#include "platform_trace.h"

using nvutil::Outcome;

namespace {

std::string Arg(const char* text) { return text ? "\"" + std::string(text) + "\"" : std::string("null"); }

bool ParseAddress(const char* text, std::uint32_t& out) {
  const auto parsed = text ? nvutil::ParseDotted(text) : std::nullopt;
  out = parsed.value_or(0);
  return parsed.has_value();
}

}  // namespace

CNetUtil::CNetUtil() : CNetUtil(nvutil::MakeSystemNetStack()) {}

CNetUtil::CNetUtil(std::unique_ptr<nvutil::NetStack> stack)
    : m_stack(std::move(stack)), m_trace(nvutil::WritePlatformTrace) {}

CNetUtil::~CNetUtil() = default;

void CNetUtil::SetTraceSink(TraceSink sink) { m_trace = std::move(sink); }

void CNetUtil::Trace(const std::string& line) noexcept {
  if (!m_trace) return;
  try {
    m_trace(line);
  } catch (...) {  // a failing sink must not turn a network call into a crash
  }
}

int CNetUtil::Finish(const std::string& call, const Outcome& outcome) noexcept {
  m_lastError = outcome.code;
  try {
    std::string line = "CNetUtil::" + call + (outcome.ok() ? ": ok" : ": failed");
    if (!outcome.note.empty()) line += ", " + outcome.note;
    if (!outcome.ok())
      line += " (" + std::to_string(outcome.code) + ": " + nvutil::DescribeError(outcome.code) + ")";
    Trace(line + "\n");
  } catch (...) {
  }
  return outcome.ok() ? 1 : 0;
}

int CNetUtil::Reject(const std::string& call, const char* why) noexcept {
  Outcome outcome;
  outcome.code = nvutil::InvalidArgumentCode();
  outcome.note = why;
  return Finish(call, outcome);
}

int CNetUtil::DelArpEnt(const char* address, const char* interfaceNumber) noexcept {
  try {
    const std::string call = "DelArpEnt(" + Arg(address) + ", " + Arg(interfaceNumber) + ")";
    std::uint32_t addr = 0;
    if (!ParseAddress(address, addr)) return Reject(call, "address is not dotted IPv4 text");
    std::uint32_t index = 0;
    if (interfaceNumber) {
      const auto parsed = nvutil::ParseInterfaceNumber(interfaceNumber);
      if (!parsed) return Reject(call, "interface number is not a positive decimal number");
      index = *parsed;
    }
    if (!m_stack) return Reject(call, "no network stack");
    return Finish(call, m_stack->DeleteNeighbour(addr, index));
  } catch (const std::exception& e) {
    return Reject("DelArpEnt", e.what());
  }
}

int CNetUtil::AddGWEntry(const char* destination, const char* mask, const char* gateway,
                         const char* interfaceNumber, std::uint32_t metric) noexcept {
  return AddRoute("AddGWEntry", nvutil::RouteApi::Classic, destination, mask, gateway, interfaceNumber,
                  metric);
}

int CNetUtil::AddGWEntryVista(const char* destination, const char* mask, const char* gateway,
                              const char* interfaceNumber, std::uint32_t metric) noexcept {
  return AddRoute("AddGWEntryVista", nvutil::RouteApi::Vista, destination, mask, gateway, interfaceNumber,
                  metric);
}

int CNetUtil::AddRoute(const char* name, nvutil::RouteApi api, const char* destination, const char* mask,
                       const char* gateway, const char* interfaceNumber, std::uint32_t metric) noexcept {
  try {
    const std::string call = std::string(name) + "(" + Arg(destination) + ", " + Arg(mask) + ", " +
                             Arg(gateway) + ", " + Arg(interfaceNumber) + ", " + std::to_string(metric) + ")";
    nvutil::NewRoute route;
    if (!ParseAddress(destination, route.destination) || !ParseAddress(mask, route.mask) ||
        !ParseAddress(gateway, route.gateway))
      return Reject(call, "destination, mask and gateway must be dotted IPv4 text");
    if (!nvutil::MaskToPrefixLength(route.mask)) return Reject(call, "mask is not contiguous");
    if ((route.destination & ~route.mask) != 0) return Reject(call, "destination has bits outside the mask");
    if (route.gateway == 0) return Reject(call, "no gateway given");
    route.metric = metric;
    if (interfaceNumber) {
      const auto parsed = nvutil::ParseInterfaceNumber(interfaceNumber);
      if (!parsed) return Reject(call, "interface number is not a positive decimal number");
      route.interfaceNumber = *parsed;
    }
    if (!m_stack) return Reject(call, "no network stack");
    return Finish(call, m_stack->AddRoute(route, api));
  } catch (const std::exception& e) {
    return Reject(name, e.what());
  }
}

int CNetUtil::DelGWEntry(const char* destination) noexcept {
  try {
    const std::string call = "DelGWEntry(" + Arg(destination) + ")";
    std::uint32_t dest = 0;
    if (!ParseAddress(destination, dest)) return Reject(call, "destination is not dotted IPv4 text");
    if (!m_stack) return Reject(call, "no network stack");
    return Finish(call, m_stack->DeleteRoutesTo(dest));
  } catch (const std::exception& e) {
    return Reject("DelGWEntry", e.what());
  }
}

std::uint32_t CNetUtil::GetInterfaceNum(const nvutil::MacAddress& mac) noexcept {
  try {
    const std::string call = "GetInterfaceNum(" + nvutil::FormatMac(mac) + ")";
    if (nvutil::IsZeroMac(mac)) {
      Reject(call, "an all-zero MAC names no adapter");
      return 0;
    }
    if (!m_stack) {
      Reject(call, "no network stack");
      return 0;
    }
    const Outcome outcome = m_stack->FindInterfaceByMac(mac);
    Finish(call, outcome);
    return outcome.ok() ? outcome.value : 0;
  } catch (const std::exception& e) {
    Reject("GetInterfaceNum", e.what());
    return 0;
  }
}

int CNetUtil::LeaseIP(std::uint32_t interfaceNumber, int renew) noexcept {
  try {
    const std::string call =
        "LeaseIP(" + std::to_string(interfaceNumber) + ", " + std::to_string(renew) + ")";
    if (interfaceNumber == 0) return Reject(call, "no interface number");
    if (renew != 0 && renew != 1) return Reject(call, "renew must be 0 (release) or 1 (renew)");
    const auto action = renew ? nvutil::LeaseAction::Renew : nvutil::LeaseAction::Release;
    if (!m_stack) return Reject(call, "no network stack");
    return Finish(call, m_stack->Lease(interfaceNumber, action));
  } catch (const std::exception& e) {
    return Reject("LeaseIP", e.what());
  }
}

void CNetUtil::SetRenewCancel(std::function<bool()> cancel) {
  if (m_stack) m_stack->SetRenewCancel(std::move(cancel));
}

int CNetUtil::GetAdapterSnapshot(const nvutil::MacAddress& mac, nvutil::AdapterSnapshot& out) noexcept {
  try {
    out = {};
    const std::string call = "GetAdapterSnapshot(" + nvutil::FormatMac(mac) + ")";
    if (nvutil::IsZeroMac(mac)) return Reject(call, "an all-zero MAC names no adapter");
    if (!m_stack) return Reject(call, "no network stack");
    const Outcome found = m_stack->FindInterfaceByMac(mac);
    if (!found.ok()) return Finish(call, found);
    Outcome read = m_stack->ReadAdapter(found.value, out);
    if (read.ok())
      read.note = std::to_string(out.addresses.size()) + " address(es), " +
                  std::to_string(out.routes.size()) + " route(s), " + std::to_string(out.neighbours.size()) +
                  " neighbour(s), " + std::to_string(out.nameServers.size()) +
                  " name server(s) on interface " + std::to_string(found.value);
    return Finish(call, read);
  } catch (const std::exception& e) {
    return Reject("GetAdapterSnapshot", e.what());
  }
}

int CNetUtil::ClearAdapter(std::uint32_t interfaceNumber) noexcept {
  try {
    const std::string call = "ClearAdapter(" + std::to_string(interfaceNumber) + ")";
    if (interfaceNumber == 0) return Reject(call, "no interface number");
    if (!m_stack) return Reject(call, "no network stack");
    return Finish(call, m_stack->ClearAdapter(interfaceNumber));
  } catch (const std::exception& e) {
    return Reject("ClearAdapter", e.what());
  }
}

bool nvutil::AdapterSnapshot::Item::linkLocal() const noexcept {
  switch (kind) {
    case Kind::Route:
      // A route to a link-local range; a default route through a link-local router is the network's.
      return address.linkLocal() && prefixLength >= (family == 6 ? 10 : 16);
    case Kind::Rule:
      return false;
    default:
      return address.linkLocal();
  }
}

std::string nvutil::AdapterSnapshot::Item::Text() const {
  const std::string prefix = "/" + std::to_string(prefixLength);
  switch (kind) {
    case Kind::Address:
      return "address " + FormatIp(address) + prefix;
    case Kind::Route: {
      std::string text = "route " +
                         (address.version ? FormatIp(address) : std::string(family == 6 ? "::" : "0.0.0.0")) +
                         prefix;
      if (gateway.version) text += " via " + FormatIp(gateway);
      if (table != 0 && table != 254) text += " table " + std::to_string(table);
      return text;
    }
    case Kind::Neighbour:
      return "neighbour entry " + FormatIp(address);
    case Kind::NameServer:
      return "name server " + FormatIp(address);
    case Kind::Rule:
      return std::string(family == 6 ? "IPv6 " : "") + "rule " + rule + " lookup " + std::to_string(table);
  }
  return {};
}

nvutil::Outcome nvutil::NetStack::ClearAdapter(std::uint32_t) {
  Outcome outcome;
  outcome.code = InvalidArgumentCode();
  outcome.note = "this network stack cannot clear an adapter";
  return outcome;
}

nvutil::Outcome nvutil::NetStack::ReadAdapter(std::uint32_t, AdapterSnapshot&) {
  Outcome outcome;
  outcome.code = InvalidArgumentCode();
  outcome.note = "this network stack cannot read an adapter's tables";
  return outcome;
}
