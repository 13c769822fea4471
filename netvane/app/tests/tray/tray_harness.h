// What the tray program's tests under Wine share: a scratch installation folder with the
// program and its libraries, the product key with the settings a test needs, the program as a
// child process with its own trace file, and the messages another program sends it.  Every
// object removes what it made.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace nv::app::testing {

// Polls `done` every 50 ms until it holds or `limitMs` have passed.
bool WaitUntil(const std::function<bool()>& done, int limitMs = 20000);

std::wstring BuildFolder();  // where the test program and the built programs are
std::string Narrow(const std::wstring& text);

// A folder holding Netvane.exe, Corekit.dll, NvIdle.dll and (unless left out) NvRes.dll.
class InstallFolder {
 public:
  explicit InstallFolder(bool withResources = true);
  ~InstallFolder();
  InstallFolder(const InstallFolder&) = delete;
  InstallFolder& operator=(const InstallFolder&) = delete;

  const std::wstring& path() const { return m_path; }
  std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }
  void Write(const std::wstring& name, const std::string& bytes) const;
  void CopyFromBuild(const std::wstring& name, const std::wstring& as) const;
  // The messages of every log line in Log\*.log, oldest file first ("...,ID2" -> "ID2"); the
  // gateway check's lines ("GW ...", written a moment after each change) and the isolation check's
  // ("ISOLATION ...", and "ADAPTER CLEARED" or "FAIL ADAPTER NOT CLEARED" after a failed one) only
  // when asked for.
  static constexpr unsigned kGatewayLines = 1, kIsolationLines = 2;
  std::vector<std::string> LogMessages(unsigned extraLines = 0) const;
  // The audit records written to Log\audit.jsonl (when the event source is missing), one per line.
  std::vector<std::string> AuditRecords() const;

 private:
  std::wstring m_path;
};

// HKEY_LOCAL_MACHINE\SOFTWARE\Tarn\Netvane-H with the values a test sets, and the RunOnce value
// the program writes; both are gone afterwards.
class ProductKey {
 public:
  static constexpr const wchar_t* kPath = L"SOFTWARE\\Tarn\\Netvane-H";
  static constexpr const wchar_t* kRunOnceKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  static constexpr const wchar_t* kRunOnceValue = L"Netvane (Only Railgate)";

  ProductKey();
  ~ProductKey();
  ProductKey(const ProductKey&) = delete;
  ProductKey& operator=(const ProductKey&) = delete;

  // `subkey` below the product key ("" for the key itself, "AdOpt", "IPCfg\\info0", ...).
  void Set(const std::wstring& subkey, const std::wstring& name, uint32_t value) const;
  void Set(const std::wstring& subkey, const std::wstring& name, const std::wstring& value) const;
  void Remove(const std::wstring& subkey, const std::wstring& name) const;
  std::optional<uint32_t> Number(const std::wstring& subkey, const std::wstring& name) const;
  static std::optional<std::wstring> RunOnce();

  // Two networks on one adapter with fixed addresses in the documentation range, the log on,
  // copy-data requests accepted, and the switch box on COM `comport` (5: no control path).
  void WriteStandardSettings(const std::wstring& installedPath, uint32_t comport) const;
};

// Netvane.exe started from an installation folder, tracing to a file of its own, with message
// boxes turned into trace lines.  Killed at destruction if it still runs.
class TrayProcess {
 public:
  // `desktop`: a desktop of its own (a Wine virtual desktop), else the test's.
  explicit TrayProcess(const InstallFolder& folder, const std::wstring& desktop = L"", bool trace = true);
  ~TrayProcess();
  TrayProcess(const TrayProcess&) = delete;
  TrayProcess& operator=(const TrayProcess&) = delete;

  bool started() const { return m_process.hProcess != nullptr; }
  DWORD id() const { return m_process.dwProcessId; }
  DWORD threadId() const { return m_process.dwThreadId; }
  // Exit status, or nothing when it still runs after `limitMs`.
  std::optional<DWORD> Wait(int limitMs = 20000);
  std::string Trace() const;
  bool TraceHas(const std::string& text) const { return Trace().find(text) != std::string::npos; }
  bool WaitForTrace(const std::string& text, int limitMs = 20000) const;
  size_t CountInTrace(const std::string& text) const;

 private:
  std::wstring m_traceFile;
  PROCESS_INFORMATION m_process{};
};

// A file's bytes, read while the program may still write it; empty when it cannot be opened.
std::string ReadShared(const std::wstring& path);

// The running frame's window ("Netvane_CLASS"), waiting for it to appear.
HWND WaitForFrame(int limitMs = 20000);

// Copy-data as another program sends it: `command` in the data word, optionally a payload.
LRESULT SendCopyData(HWND frame, uintptr_t command, const std::string& payload = "");

// Line levels that the modem-line shim saw the program set ("DTR=1 RTS=1"), in order; empty
// without the shim.
std::vector<std::string> LineChanges();

// Saves a screenshot as a PNG file at `unixPath`: of the X window titled `desktopTitle` (a Wine
// virtual desktop) when there is one, else of the whole display.  Wine starts the Linux programs
// natively but cannot wait for them, so the finished file is waited for.
bool TakeScreenshot(const std::string& unixPath, const std::string& desktopTitle, int limitMs = 30000);

}  // namespace nv::app::testing
