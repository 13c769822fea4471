// The service control dispatcher for one service object.
#pragma once
#include "nt_serv.h"

namespace nv::service {

// The manager as the service sees it: SetServiceStatus through the registered handler.
ServiceHost& PlatformServiceHost();

// Hands the process to the dispatcher with one entry for `service`; returns once it stopped.
// False (with the platform's last error) when the process was not started as a service.
bool RunServiceDispatcher(CNTServ& service) noexcept;

}  // namespace nv::service
