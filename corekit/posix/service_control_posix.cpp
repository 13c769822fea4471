#include <unistd.h>

#include "corekit/service_control_api.h"
#include "nt_service_platform.h"

namespace corekit {
namespace {

constexpr int32_t kNotSupported = 50;

// No service control manager natively: every step fails as not supported.
class NoServiceControl : public ServiceControlApi {
 public:
  int32_t OpenManager(uint32_t, ServiceHandle& manager) override {
    manager = nullptr;
    return kNotSupported;
  }
  int32_t Create(ServiceHandle, const ServiceConfig&, ServiceHandle& service) override {
    service = nullptr;
    return kNotSupported;
  }
  int32_t Open(ServiceHandle, const std::string&, uint32_t, ServiceHandle& service) override {
    service = nullptr;
    return kNotSupported;
  }
  int32_t Start(ServiceHandle) override { return kNotSupported; }
  int32_t Stop(ServiceHandle) override { return kNotSupported; }
  int32_t Delete(ServiceHandle) override { return kNotSupported; }
  void Close(ServiceHandle) override {}
  int32_t SetAccessList(ServiceHandle, const std::string&) override { return kNotSupported; }
  void ShowWaitCursor(bool) override {}
};

}  // namespace

ServiceControlApi& PlatformServiceControl() {
  static NoServiceControl api;
  return api;
}

namespace detail {

bool CallerIsAdministrator(uint32_t& checkError) noexcept {
  checkError = 0;
  return ::geteuid() == 0;
}

}  // namespace detail
}  // namespace corekit
