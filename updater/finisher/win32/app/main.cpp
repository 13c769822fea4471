// continue.exe (started as orgcontinue.exe): installs the staged files of an update.  Three
// arguments (maker key, product key, program to restart); anything else ends it at once.
#include "platform/windows_api.h"

#include <commctrl.h>
#include <shellapi.h>

#include "continue_ids.h"
#include "corekit/debug.h"
#include "corekit/os_version.h"
#include "corekit/psapi.h"
#include "corekit/registry.h"
#include "corekit/test_switches.h"
#include "finisher_run.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
#include "service_control.h"

namespace {

using namespace nv::updater;

bool Unattended() { return nv::corekit::UnattendedMessageBoxes(); }

int Box(HWND owner, const std::string& caption, const std::string& text, UINT type, int unattendedAnswer) {
  if (Unattended()) {
    CDebug::dprintf("MessageBox(%s): %s\n", caption.c_str(), text.c_str());
    return unattendedAnswer;
  }
  return ::MessageBoxW(owner, nv::text::Widen(text).c_str(), nv::text::Widen(caption).c_str(), type);
}

class FinisherDialog final : public IFinisherHost {
 public:
  FinisherDialog(FinisherArguments args, std::string installedPath)
      : m_args(std::move(args)), m_installed(std::move(installedPath)) {}

  INT_PTR Run(HINSTANCE instance) {
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CONTINUE), nullptr, &Procedure,
                             reinterpret_cast<LPARAM>(this));
  }

  void ShowStatus(const std::string& text) override {
    ::SetDlgItemTextW(m_hwnd, IDC_CONTINUE_STATUS, nv::text::Widen(text).c_str());
    ::UpdateWindow(m_hwnd);
  }
  void SetProgressRange(int count) override {
    ::SendDlgItemMessageW(m_hwnd, IDC_CONTINUE_PROGRESS, PBM_SETRANGE32, 0, count);
    ::SendDlgItemMessageW(m_hwnd, IDC_CONTINUE_PROGRESS, PBM_SETSTEP, 1, 0);
  }
  void StepProgress() override { ::SendDlgItemMessageW(m_hwnd, IDC_CONTINUE_PROGRESS, PBM_STEPIT, 0, 0); }
  void Wait(unsigned milliseconds) override { ::Sleep(milliseconds); }
  bool AskRestartWindows(const std::string& productName) override {
    return Box(m_hwnd, productName, "Restart Window", MB_YESNO | MB_SYSTEMMODAL | MB_ICONQUESTION, IDNO) ==
           IDYES;
  }
  void RestartComputer() override { COSversion().SystemExit(true); }
  bool RestartProgram(const std::string& path) override {
    const std::wstring file = nv::text::Widen(path);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) {
      CDebug::dprintf("continue: cannot start %s (%lu)\n", path.c_str(), ::GetLastError());
      return false;
    }
    nv::win32::UniqueKernelHandle process(info.hProcess);
    if (process) ::WaitForInputIdle(process.get(), 30000);
    CDebug::dprintf("continue: restarted %s\n", path.c_str());
    return true;
  }
  bool ProgramRuns(const std::string& path) override {
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    CPSAPI processes;
    return processes.FindWindowX(name) != nullptr;
  }
  void ReportCopyFailure(const std::string& fileName, const std::string& error) override {
    Box(m_hwnd, m_args.productName,
        fileName + " could not be installed; the installed file was kept.\n" + error,
        MB_OK | MB_ICONEXCLAMATION, IDOK);
  }
  void ReportReplacedAtRestart(const std::string& fileName) override {
    Box(m_hwnd, m_args.productName, fileName + " is still in use: it will be replaced when Windows restarts.",
        MB_OK | MB_ICONINFORMATION, IDOK);
  }

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<FinisherDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    try {
      if (message == WM_INITDIALOG) {
        self->m_hwnd = hwnd;
        ::SetWindowTextW(hwnd, nv::text::Widen(self->m_args.productName).c_str());
        ::SetTimer(hwnd, 1, 1000, nullptr);
        return TRUE;
      }
      if (message == WM_TIMER) {
        ::KillTimer(hwnd, 1);
        self->Work();
        ::EndDialog(hwnd, IDOK);
        return TRUE;
      }
    } catch (...) {
      CDebug::dprintf("continue: ended by an exception\n");
      ::EndDialog(hwnd, IDABORT);
      return TRUE;
    }
    return FALSE;
  }

  void Work() {
    FinisherContext context;
    context.installedPath = m_installed;
    context.productName = m_args.productName;
    context.programPath = m_args.programPath;
    context.ntFamily = COSversion().isNT();
    context.style = PathStyle::kWindows;
    if (!m_installed.empty()) ::SetCurrentDirectoryW(nv::text::Widen(m_installed).c_str());
    ServiceControl services([this](const std::string& text) { Box(m_hwnd, "NvSVC", text, MB_OK, IDOK); });
    const FinisherReport report = RunFinisher(context, NativeFileSystem(), services, *this);
    CDebug::dprintf("continue: %zu installed, %zu failed, %zu refused\n", report.installed.size(),
                    report.failed.size(), report.refused.size());
  }

  FinisherArguments m_args;
  std::string m_installed;
  HWND m_hwnd = nullptr;
};

int Run(HINSTANCE instance) {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(nv::text::Narrow(argv[i]));
  ::LocalFree(argv);
  auto parsed = ParseFinisherArguments(args);
  if (!parsed) return 1;

  CRegistry reg;
  std::string installed;
  if (reg.uOpenKey(corekit::kHKeyLocalMachine,
                   ("Software\\" + parsed->makerKey + "\\" + parsed->productName).c_str())) {
    reg.GetValue("InstalledPath", installed);
  }
  if (!IsSafeAbsolutePath(installed, PathStyle::kWindows)) {
    CDebug::dprintf("continue: InstalledPath \"%s\" is not an absolute folder\n", installed.c_str());
    Box(nullptr, parsed->productName,
        "The installation folder (InstalledPath) is missing or not an absolute path: nothing was installed.",
        MB_OK | MB_ICONSTOP, IDOK);
    return 4;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  FinisherDialog dialog(std::move(*parsed), installed);
  return dialog.Run(instance) == IDOK ? 0 : 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    return Run(instance);
  } catch (...) {
    return 3;
  }
}
