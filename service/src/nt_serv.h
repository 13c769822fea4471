// CNTServ: the service object of a service program, one per process.  The service control
// dispatcher calls ServiceMain on the service thread and HandleControl on its own thread; both go
// to the platform through ServiceHost, so the state changes are tested without a manager.
//
// Lifecycle: stopped -> start pending (handler registered, OnInit) -> running (Run) -> stop
// pending (stop control) -> stopped.  Only stop is accepted, so pause and continue never arrive
// from the platform; the slots are there for derived services.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace nv::service {

// The platform's service status record.
struct ServiceStatusRecord {
  uint32_t serviceType = 0x10;  // own process
  uint32_t currentState = 0;
  uint32_t controlsAccepted = 1;  // stop only
  uint32_t win32ExitCode = 0;
  uint32_t serviceSpecificExitCode = 0;
  uint32_t checkPoint = 0;
  uint32_t waitHint = 0;
};

inline constexpr uint32_t kStateStopped = 1;
inline constexpr uint32_t kStateStartPending = 2;
inline constexpr uint32_t kStateStopPending = 3;
inline constexpr uint32_t kStateRunning = 4;

inline constexpr uint32_t kControlStop = 1;
inline constexpr uint32_t kControlPause = 2;
inline constexpr uint32_t kControlContinue = 3;
inline constexpr uint32_t kControlInterrogate = 4;
inline constexpr uint32_t kControlShutdown = 5;
inline constexpr uint32_t kFirstUserControl = 128;

// The service control manager as seen from inside the service.
class ServiceHost {
 public:
  virtual ~ServiceHost();
  virtual bool RegisterControlHandler(const std::string& serviceName) = 0;
  virtual void ReportStatus(const ServiceStatusRecord& status) = 0;
  virtual uint32_t LastError() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// What a control code asks the service object to do.
enum class ControlAction { kStop, kPause, kContinue, kInterrogate, kShutdown, kUser, kIgnore };
ControlAction ControlActionFor(uint32_t code) noexcept;

// 1000 ms for the launcher's own name, 200 for any other service.
uint32_t PollIntervalFor(const std::string& serviceName) noexcept;

// The last program the service started.
struct StartedProgram {
  uint32_t processId = 0;
  uint32_t threadId = 0;
};

class CNTServ {
 public:
  CNTServ(const std::string& serviceName, ServiceHost& host);
  virtual ~CNTServ();
  CNTServ(const CNTServ&) = delete;
  CNTServ& operator=(const CNTServ&) = delete;

  virtual void Run();
  virtual bool OnInit();
  virtual void OnStop();
  virtual void OnInterrogate();
  virtual void OnPause();
  virtual void OnContinue();
  virtual void OnShutdown();
  // True when the code was handled; the dispatcher tells the sender so.
  virtual bool OnUserControl(uint32_t code);

  // The service main function's work, on the service thread; returns once the service stopped.
  void ServiceMain() noexcept;
  // One control from the dispatcher; true when it was handled.  The status is reported after it.
  bool HandleControl(uint32_t code) noexcept;

  const std::string& ServiceName() const noexcept { return m_serviceName; }
  bool IsRunning() const noexcept { return m_isRunning.load(); }
  ServiceStatusRecord Status() const;

 protected:
  void SetStatus(uint32_t state);

  std::string m_serviceName;  // up to 63 characters
  std::string m_dependencies = "TDI";
  uint32_t m_startType = 2;  // automatic
  int m_majorVersion = 1;
  int m_minorVersion = 0;
  ServiceHost& m_host;
  mutable std::mutex m_statusLock;  // the dispatcher's thread and the service thread both report
  ServiceStatusRecord m_status;
  std::atomic<bool> m_isRunning{false};
  std::string m_productKey;
  uint32_t m_pollInterval;
  StartedProgram m_program;
};

}  // namespace nv::service
