// The launcher: waits while it runs, and starts the tray program when it gets control 129.
#pragma once
#include <functional>
#include <string>

#include "nt_serv.h"
#include "tray_launch.h"

namespace nv::service {

inline constexpr uint32_t kControlStartTray = 129;
inline constexpr uint32_t kControlAcknowledge = 130;

// "InstalledPath" of the product key below the local-machine root; false when it cannot be read.
bool ReadInstalledPath(const std::string& productKey, std::string& path) noexcept;

class CLauncherService : public CNTServ {
 public:
  using Console = std::function<void(const std::string&)>;

  CLauncherService(const std::string& serviceName, ServiceHost& host, SessionApi& sessions, Console console);

  void Run() override;
  bool OnInit() override;
  bool OnUserControl(uint32_t code) override;

  StartedProgram LastStartedProgram() const noexcept { return m_program; }

 private:
  SessionApi& m_sessions;
  Console m_console;
};

}  // namespace nv::service
