// Stopping and starting a Windows service around a replaced file, with the service-control
// failure texts shown through `report`.
#pragma once
#include <functional>
#include <string>

#include "finisher_run.h"

namespace nv::updater {

class ServiceControl final : public IServiceControl {
 public:
  explicit ServiceControl(std::function<void(const std::string&)> report) : m_report(std::move(report)) {}
  bool Stop(const std::string& name) override;
  bool Start(const std::string& name) override;

 private:
  std::function<void(const std::string&)> m_report;
};

}  // namespace nv::updater
