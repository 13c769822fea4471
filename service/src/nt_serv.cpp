#include "nt_serv.h"

#include "corekit/debug.h"
#include "platform/text.h"

namespace nv::service {
namespace {

constexpr size_t kMaxServiceName = 63;

}  // namespace

ServiceHost::~ServiceHost() = default;

ControlAction ControlActionFor(uint32_t code) noexcept {
  switch (code) {
    case kControlStop:
      return ControlAction::kStop;
    case kControlPause:
      return ControlAction::kPause;
    case kControlContinue:
      return ControlAction::kContinue;
    case kControlInterrogate:
      return ControlAction::kInterrogate;
    case kControlShutdown:
      return ControlAction::kShutdown;
    default:
      return code >= kFirstUserControl ? ControlAction::kUser : ControlAction::kIgnore;
  }
}

uint32_t PollIntervalFor(const std::string& serviceName) noexcept {
  return nv::text::EqualsNoCase(serviceName, "NvMgr") ? 1000 : 200;
}

CNTServ::CNTServ(const std::string& serviceName, ServiceHost& host)
    : m_serviceName(serviceName.substr(0, kMaxServiceName)),
      m_host(host),
      m_productKey("Software\\Tarn\\Netvane-H"),
      m_pollInterval(PollIntervalFor(m_serviceName)) {}

CNTServ::~CNTServ() = default;

void CNTServ::Run() { CDebug::dprintf("CNTServ::Run\n"); }
bool CNTServ::OnInit() {
  CDebug::dprintf("CNTServ::OnInit\n");
  return true;
}
void CNTServ::OnStop() { CDebug::dprintf("CNTServ::OnStop\n"); }
void CNTServ::OnInterrogate() { CDebug::dprintf("CNTServ::OnInterrogate\n"); }
void CNTServ::OnPause() { CDebug::dprintf("CNTServ::OnPause\n"); }
void CNTServ::OnContinue() { CDebug::dprintf("CNTServ::OnContinue\n"); }
void CNTServ::OnShutdown() { CDebug::dprintf("CNTServ::OnShutdown\n"); }
bool CNTServ::OnUserControl(uint32_t code) {
  CDebug::dprintf("CNTServ::OnUserControl(%u)\n", static_cast<unsigned>(code));
  return false;
}

ServiceStatusRecord CNTServ::Status() const {
  std::lock_guard<std::mutex> lock(m_statusLock);
  return m_status;
}

void CNTServ::SetStatus(uint32_t state) {
  ServiceStatusRecord status;
  {
    std::lock_guard<std::mutex> lock(m_statusLock);
    m_status.currentState = state;
    status = m_status;
  }
  m_host.ReportStatus(status);
}

void CNTServ::ServiceMain() noexcept {
  try {
    {
      std::lock_guard<std::mutex> lock(m_statusLock);
      m_status.currentState = kStateStartPending;
    }
    if (!m_host.RegisterControlHandler(m_serviceName)) return;

    SetStatus(kStateStartPending);
    const bool initialised = OnInit();
    {
      // A stale last error would make a clean stop read as a failure: keep it only when
      // initialising failed.
      std::lock_guard<std::mutex> lock(m_statusLock);
      m_status.win32ExitCode = initialised ? 0 : m_host.LastError();
    }
    if (!initialised) {
      SetStatus(kStateStopped);
      return;
    }
    // Set before the manager hears "running", so a stop sent at once is not lost.
    m_isRunning = true;
    SetStatus(kStateRunning);
    Run();
  } catch (...) {
    CDebug::dprintf("CNTServ: %s ended by an exception\n", m_serviceName.c_str());
  }
  m_isRunning = false;
  SetStatus(kStateStopped);
}

bool CNTServ::HandleControl(uint32_t code) noexcept {
  bool handled = true;
  try {
    switch (ControlActionFor(code)) {
      case ControlAction::kStop:
        SetStatus(kStateStopPending);
        OnStop();
        m_isRunning = false;
        break;
      case ControlAction::kPause:
        OnPause();
        break;
      case ControlAction::kContinue:
        OnContinue();
        break;
      case ControlAction::kInterrogate:
        OnInterrogate();
        break;
      case ControlAction::kShutdown:
        OnShutdown();
        break;
      case ControlAction::kUser:
        handled = OnUserControl(code);
        break;
      case ControlAction::kIgnore:
        handled = false;
        break;
    }
  } catch (...) {
    CDebug::dprintf("CNTServ: control %u ended by an exception\n", static_cast<unsigned>(code));
    handled = false;
  }
  m_host.ReportStatus(Status());
  return handled;
}

}  // namespace nv::service
