#include "netvane/ip_config_form.h"

#include <algorithm>
#include <cctype>

namespace nv::ui {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void TakeAdapter(const AdapterChoice* adapter, NetCfgRecord& record) {
  if (adapter != nullptr) {
    record.szNetDev = adapter->displayName;
    record.szBindName = adapter->adapterName;
    record.ucMacAddr = adapter->mac;
  } else {
    record.szNetDev = kNoAdapterText;
    record.szBindName.clear();
    record.ucMacAddr = {};
  }
}

}  // namespace

int PickAdapter(const std::vector<std::string>& names, const std::string& stored) {
  int picked = 0;
  for (size_t i = 0; i < names.size(); ++i)
    if (EqualNoCase(names[i], stored)) picked = static_cast<int>(i);
  return picked;
}

Ip1Form Ip1Open(const NetCfgRecord (&net)[2]) {
  Ip1Form form;
  form.gateway[0] = net[0].Gateway;
  form.gateway[1] = net[1].Gateway;
  form.sameGateway = net[0].sameGateway != 0;
  return form;
}

Ip1Form Ip1SameGatewayClicked(Ip1Form form) {
  if (!form.sameGateway) return form;
  const uint32_t shared = form.gateway[0] != 0 ? form.gateway[0] : form.gateway[1];
  if (shared != 0) form.gateway[0] = shared;
  form.gateway[1] = 0;
  return form;
}

void Ip1Apply(const Ip1Form& form, const AdapterChoice* adapter, NetworkSettings& cfg) {
  for (int n = 0; n < 2; ++n) {
    NetCfgRecord& record = cfg.net[n];
    // The adapter keeps its own fixed address: only the gateway differs per network.
    record.IPAddr = 0;
    record.NetMask = 0;
    record.Gateway = (n == 1 && form.sameGateway) ? 0 : form.gateway[n];
    record.dns[0] = 0;
    record.domain[0].clear();
    TakeAdapter(adapter, record);
    record.sameGateway = form.sameGateway ? 1 : 0;
  }
  cfg.dwIPnum = 1;
}

Ip2Form Ip2Open(const NetCfgRecord (&net)[2]) {
  Ip2Form form;
  for (int n = 0; n < 2; ++n) {
    Ip2NetForm& f = form.net[n];
    f.address = net[n].IPAddr;
    f.mask = net[n].NetMask;
    f.gateway = net[n].Gateway;
    f.dns = net[n].dns[0];
    f.domain = net[n].domain[0];
    f.useDhcp = net[n].useDhcp != 0;
  }
  return form;
}

Ip2Form Ip2Cleared() { return Ip2Form{}; }

void Ip2Apply(const Ip2Form& form, const AdapterChoice* adapter, NetworkSettings& cfg) {
  for (int n = 0; n < 2; ++n) {
    const Ip2NetForm& f = form.net[n];
    NetCfgRecord& record = cfg.net[n];
    record.IPAddr = f.address;
    record.NetMask = f.mask;
    record.Gateway = f.gateway;
    record.dns[0] = f.dns;
    record.domain[0] = f.domain;
    TakeAdapter(adapter, record);
    record.useDhcp = f.useDhcp ? 1 : 0;
  }
  cfg.dwIPnum = 2;
}

}  // namespace nv::ui
