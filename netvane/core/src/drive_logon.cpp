#include "netvane/drive_logon.h"

#include <filesystem>

#include "corekit/debug.h"
#include "corekit/ini_file.h"
#include "corekit/registry.h"
#include "netvane/cfginfo.h"
#include "netvane/drive_letters.h"
#include "netvane/frame_controller.h"
#include "netvane/guard_device.h"
#include "netvane/log_file.h"
#include "netvane/message_line_breaks.h"
#include "netvane/string_keys.h"
#include "nvprn/prn_info.h"

namespace nv::core {

std::string RunOnceCommand(const std::string& installedPath) { return installedPath + "\\LDNvChng.EXE"; }

std::string LogFolder(const std::string& installedPath) {
  return (std::filesystem::u8path(installedPath) / "Log").u8string();
}

uint32_t IdleCheckPeriodMs(uint32_t minutes) noexcept {
  const uint64_t ms = uint64_t{minutes} * 60000u;
  return ms > kMaxTimerPeriodMs ? kMaxTimerPeriodMs : static_cast<uint32_t>(ms);
}

}  // namespace nv::core

namespace {

int NetworkIndex(int network) { return network != 0 ? 1 : 0; }

}  // namespace

CDriveLogon::CDriveLogon(const CCfginfo& cfg, nv::core::IIdleMonitor& idle,
                         std::unique_ptr<nv::core::INetConnections> connections)
    : CDriveLogon(cfg, idle, connections ? std::move(connections) : nv::core::MakeSystemNetConnections(),
                  nv::core::MakeSystemNetWareLogonUi()) {
  m_passwordListFolder = nv::core::PasswordListFolder();
  m_printers = std::make_unique<CPrnInfo>();
  m_ownGuard = std::make_unique<CGuardDevice>(COSversion());
  m_guard = m_ownGuard.get();
}

CDriveLogon::CDriveLogon(const CCfginfo& cfg, nv::core::IIdleMonitor& idle,
                         std::unique_ptr<nv::core::INetConnections> connections,
                         std::unique_ptr<nv::core::INetWareLogonUi> ui)
    : m_cfg(cfg),
      m_idle(idle),
      m_ownConnections(std::move(connections)),
      m_ownUi(std::move(ui)),
      m_connections(*m_ownConnections),
      m_ui(*m_ownUi) {}

CDriveLogon::CDriveLogon(const CCfginfo& cfg, nv::core::IIdleMonitor& idle,
                         nv::core::INetConnections& connections, nv::core::INetWareLogonUi& ui,
                         std::string passwordListFolder)
    : m_cfg(cfg),
      m_idle(idle),
      m_connections(connections),
      m_ui(ui),
      m_passwordListFolder(std::move(passwordListFolder)) {}

CDriveLogon::~CDriveLogon() = default;

void CDriveLogon::ApplySettings(nv::core::IFrameHost* frame) {
  if (frame != nullptr) m_frame = frame;
  if (m_cfg.dwAutoChange != 0) {
    m_idleRunning = m_idle.Start();
    m_idleFrom = m_idle.Now();
    if (!m_idleRunning) CDebug::dprintf("NvIdleInit failed: idle return is off\n");
  } else {
    m_idle.Stop();
    m_idleRunning = false;
  }

  m_passwordFile.clear();
  m_hiddenPasswordFile.clear();
  if (!m_passwordListFolder.empty() && !m_cfg.username.empty()) {
    const std::filesystem::path folder = std::filesystem::u8path(m_passwordListFolder);
    m_passwordFile = (folder / std::filesystem::u8path(m_cfg.username + ".pwl")).u8string();
    m_hiddenPasswordFile = (folder / std::filesystem::u8path(m_cfg.username + ".HAN")).u8string();
  }

  m_driveHandling = false;
  for (int n = 0; n < 2; ++n) {
    m_drives[n].clear();
    if (m_cfg.szNetDrv[n].empty()) continue;
    m_driveHandling = true;
    m_drives[n] = nv::core::ParseDriveList(m_cfg.szNetDrv[n]);
  }
  m_netware = nv::core::ReadNetWareClientNames(m_cfg.username);

  m_log.reset();
  // Without an installation folder the log would land in the root of the current drive.
  if ((m_cfg.dwOpt & kOptLog) != 0 && !m_cfg.InstalledPath.empty())
    m_log = std::make_unique<CLogFile>(nv::core::LogFolder(m_cfg.InstalledPath), "", kLogDays);
}

void CDriveLogon::LogLine(const std::string& text) {
  if (m_log && (m_cfg.dwOpt & kOptLog) != 0) m_log->Write("%s", text.c_str());
}

void CDriveLogon::BeforeSwitch(int network) {
  if (m_driveHandling) CancelDrives(NetworkIndex(network));
  m_current = network;
}

void CDriveLogon::AfterSwitch(int network) {
  m_current = network;
  if (m_guard != nullptr) m_guard->SetNetwork(network);
  MovePasswordList(network);
  if (m_driveHandling) ReconnectDrives(NetworkIndex(network));
  if (m_cfg.dwAutoChange != 0) ResetIdle();
  if (m_log) m_log->Write("ID%d", network + 1);
  if (m_frame == nullptr) return;
  if (network == 1 && m_cfg.dwAutoChange != 0) {
    m_frame->SetTimer(nv::core::TIMER_IDLE_CHECK, nv::core::IdleCheckPeriodMs(m_cfg.dwAutoChange));
  } else {
    m_frame->KillTimer(nv::core::TIMER_IDLE_CHECK);
  }
}

void CDriveLogon::CancelDrives(int network) {
  for (const std::string& drive : m_drives[network]) {
    // Failures are of no interest: a letter that was not connected is what we want anyway.
    if (m_netware.useNetCommand) {
      m_connections.CancelWithNetCommand(drive);
    } else {
      m_connections.Cancel(drive);
    }
    // In the hive of whoever the connections act for: this process's own HKEY_CURRENT_USER is
    // not the user's when the tray program runs as SYSTEM.
    m_connections.ForgetPersistent(drive);
  }
}

void CDriveLogon::ReconnectDrives(int network) {
  const std::vector<std::string>& drives = m_drives[network];
  if (drives.empty()) return;
  nv::core::NetWareCredentials stored = nv::core::LoadNetWareCredentials(m_cfg.baseKey, network);
  nv::core::NetWareCredentials logon;
  const bool autoLogin = (m_cfg.dwAutoLogin & (1u << network)) != 0;
  if (autoLogin && !stored.server.empty() && !stored.user.empty() && !stored.passwordUnreadable) {
    logon = std::move(stored);
  } else {
    // The client's names first; without a client, what was typed last time.
    logon.user = !m_netware.user.empty() ? m_netware.user : stored.user;
    logon.server = !m_netware.server.empty() ? m_netware.server : stored.server;
    if (!m_ui.AskLogon(network, logon)) {
      CDebug::dprintf("NetWare logon cancelled: drives of network %d stay unmapped\n", network);
      return;
    }
    nv::core::SaveNetWareCredentials(m_cfg.baseKey, network, logon);
  }

  const std::string remote = "\\\\" + logon.server + "\\sys";
  std::string report;
  for (const std::string& drive : drives) {
    const int32_t code = m_connections.Add(drive, remote, logon.user, logon.password);
    if (code == 0) continue;
    if (!report.empty()) report += "\n";
    report += "[" + drive + " Drive] " + m_connections.ErrorText(code);
  }
  if (!report.empty()) m_ui.ShowDriveErrors(report);
}

void CDriveLogon::MovePasswordList(int network) {
  if (m_passwordFile.empty()) return;
  // Hidden while network B is in force, so that its logon cannot use the A network's passwords.
  const bool hide = network != 0;
  const std::filesystem::path from = std::filesystem::u8path(hide ? m_passwordFile : m_hiddenPasswordFile);
  const std::filesystem::path to = std::filesystem::u8path(hide ? m_hiddenPasswordFile : m_passwordFile);
  std::error_code ignored;  // a missing file is normal: nothing to hide
  std::filesystem::rename(from, to, ignored);
}

int CDriveLogon::PrinterStep(const std::string& productKeyPath, int network, int sessionEnding, int phase) {
  if (!m_printers) return 1;
  const int goOn = m_printers->BeforeChange(
      productKeyPath.c_str(), static_cast<uint32_t>(network != 0 ? 1 : 0), sessionEnding, phase);
  if (phase == 1 && goOn == 0)
    CDebug::dprintf("PrinterStep: the printer helper refused network %d\n", network);
  return goOn;
}

void CDriveLogon::SetPrinterHelper(std::unique_ptr<CPrnInfo> helper) { m_printers = std::move(helper); }

void CDriveLogon::SetPrinterTexts(CIniFile& strings) {
  if (!m_printers) return;
  namespace s = nv::strings;
  // Set in this order: the helper may use each as soon as it is there.
  m_printers->m_strNetA = strings.GetValue(s::kNetA.section, s::kNetA.key, s::kNetA.resourceId);
  m_printers->m_strNetB = strings.GetValue(s::kNetB.section, s::kNetB.key, s::kNetB.resourceId);
  m_printers->m_strCloseOper =
      nv::core::MessageLineBreaks(strings.GetValue(s::kPrnCloseOper.section, s::kPrnCloseOper.key));
  m_printers->m_strChangeOper =
      nv::core::MessageLineBreaks(strings.GetValue(s::kPrnChangeOper.section, s::kPrnChangeOper.key));
}

void CDriveLogon::ResetIdle() {
  m_idle.Reset();
  m_idleFrom = m_idle.Now();
}

bool CDriveLogon::IdleReturnDue() {
  // Without a running monitor there is no input time at all: never call the user idle.
  if (m_current == 0 || !m_idleRunning) return false;
  // The monitor keeps no time until the first input after a reset; idle since the reset then.
  const uint32_t last = m_idle.LastInputTime();
  const uint32_t since = last != 0 ? last : m_idleFrom;
  const uint32_t idleSeconds = (m_idle.Now() - since) / 1000;
  if (idleSeconds < uint64_t{m_cfg.dwAutoChange} * 60u) return false;
  ResetIdle();
  return true;
}

bool CDriveLogon::RegisterRunOnce() {
  // Without an installation folder there is no helper to name.
  if (m_cfg.InstalledPath.empty()) return false;
  CRegistry key;
  if (!key.uOpenKey(corekit::kHKeyLocalMachine, nv::core::kRunOnceKey) &&
      !(key.Connect(corekit::kHKeyLocalMachine) && key.Create(nv::core::kRunOnceKey))) {
    CDebug::dprintf("RegisterRunOnce: cannot open the RunOnce key (%d)\n",
                    static_cast<int>(key.GetErrorCode()));
    return false;
  }
  const int ok = key.SetValue(nv::core::kRunOnceValue, nv::core::RunOnceCommand(m_cfg.InstalledPath));
  key.Close();
  return ok != 0;
}

void CDriveLogon::StopIdleMonitor() {
  m_idle.Stop();
  m_idleRunning = false;
}
