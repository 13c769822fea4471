#include "netvane/gateway_watch.h"

#include <cstdio>

#include "corekit/debug.h"
#include "netvane/cfginfo.h"
#include "netvane/change_ip.h"

namespace nv::core {

uint32_t GatewayOf(const CCfginfo& cfg, int network) {
  const NetCfgRecord& record = cfg.net[network != 0 ? 1 : 0];
  if (cfg.dwIPnum == 1 && !record.useDhcp && record.sameGateway) return cfg.net[0].Gateway;
  return record.Gateway;
}

std::string GatewayLogLine(const GatewayCheck& check) {
  std::string line = "GW " + (check.gateway != 0 ? DottedAddress(check.gateway) : std::string("none"));
  if (check.answer.answered) {
    char ms[32];
    std::snprintf(ms, sizeof ms, " answers (%.0f ms)", check.answer.rttMs);
    return line + ms;
  }
  line += " no answer";
  if (!check.answer.detail.empty()) line += " (" + check.answer.detail + ")";
  return line;
}

std::string GatewayTip(const std::string& networkName, const GatewayCheck& check) {
  if (check.answer.answered) return networkName + " in force";
  if (check.gateway == 0) return networkName + " in force - no gateway known to check";
  return networkName + " - warning: gateway " + DottedAddress(check.gateway) + " does not answer";
}

GatewayWatch::GatewayWatch(const CCfginfo& cfg, IDriveStep& drives, std::unique_ptr<IGatewayProbe> probe,
                           std::function<void()> ready, unsigned waitMs)
    : cfg_(cfg), drives_(drives), probe_(std::move(probe)), ready_(std::move(ready)), waitMs_(waitMs) {}

GatewayWatch::~GatewayWatch() { Stop(); }

void GatewayWatch::Stop() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  stop_ = false;
}

void GatewayWatch::Wait() {
  if (worker_.joinable()) worker_.join();
}

void GatewayWatch::BeforeSwitch(int network) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_.reset();
  }
  drives_.BeforeSwitch(network);
}

void GatewayWatch::AfterSwitch(int network) {
  drives_.AfterSwitch(network);  // writes "ID%d" first
  if (!probe_) return;
  Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_.reset();
  }
  const uint32_t configured = GatewayOf(cfg_, network);
  worker_ = std::thread([this, network, configured] {
    GatewayCheck check;
    check.network = network;
    // A network from DHCP names no gateway; the route the renewal set up tells it.
    check.gateway = configured != 0 ? configured : probe_->CurrentGateway();
    if (check.gateway == 0) {
      check.answer.detail = "no gateway";
    } else {
      check.answer = probe_->Echo(check.gateway, waitMs_, stop_);
    }
    if (stop_) return;  // a newer change or the end of the program: nobody wants it
    {
      std::lock_guard<std::mutex> lock(mutex_);
      result_ = check;
    }
    if (ready_) ready_();
  });
}

std::optional<GatewayCheck> GatewayWatch::TakeResult() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::optional<GatewayCheck> out;
  out.swap(result_);
  if (out) CDebug::dprintf("Gateway(%d) %s\n", out->network + 1, GatewayLogLine(*out).c_str());
  return out;
}

}  // namespace nv::core
