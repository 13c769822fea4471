// The service control manager as CNTService needs it: each call returns 0 or the platform error
// code.  Windows: the real manager; natively there is none (every open fails with 50, not
// supported).  Tests hand CNTService a fake.
#pragma once
#include <cstdint>
#include <string>

#include "corekit/export.h"

namespace corekit {

using ServiceHandle = void*;  // an SC_HANDLE; null when not open

struct ServiceConfig {
  std::string name;
  std::string displayName;
  std::string path;
  uint32_t access = 0;
  uint32_t type = 0;
  uint32_t start = 0;
  uint32_t errorControl = 0;
  std::string dependencies;  // names separated by "\0" pairs as the platform takes them; empty for none
};

class COREKIT_API ServiceControlApi {
 public:
  virtual ~ServiceControlApi();
  virtual int32_t OpenManager(uint32_t access, ServiceHandle& manager) = 0;
  virtual int32_t Create(ServiceHandle manager, const ServiceConfig& config, ServiceHandle& service) = 0;
  virtual int32_t Open(ServiceHandle manager, const std::string& name, uint32_t access,
                       ServiceHandle& service) = 0;
  virtual int32_t Start(ServiceHandle service) = 0;
  virtual int32_t Stop(ServiceHandle service) = 0;
  virtual int32_t Delete(ServiceHandle service) = 0;
  virtual void Close(ServiceHandle handle) = 0;
  // Replaces the service's access list with the one in `dacl` (the platform's string form,
  // "D:(A;;...;;;SY)..."); 0 or the platform error.
  virtual int32_t SetAccessList(ServiceHandle service, const std::string& dacl) = 0;
  // The hourglass while a service is being installed.
  virtual void ShowWaitCursor(bool on) = 0;
};

// This platform's manager; lives as long as the process.
COREKIT_API ServiceControlApi& PlatformServiceControl();

}  // namespace corekit
