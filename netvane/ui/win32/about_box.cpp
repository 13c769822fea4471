#include "netvane/win32/about_box.h"

#include <vector>

#include "corekit/debug.h"
#include "corekit/dll_version.h"
#include "netvane/string_keys.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"

namespace nv::ui {

bool FileVersionSource::Read(const std::string& file, FileVersion& out) {
  std::wstring path = nv::text::Widen(file);
  if (path.find_first_of(L"\\/:") == std::wstring::npos) {
    wchar_t self[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
    std::wstring folder(self, length);
    const size_t slash = folder.find_last_of(L"\\/");
    if (slash != std::wstring::npos) path = folder.substr(0, slash + 1) + path;
  }
  // The program's own folder first: the current folder need not be the installation's.
  const CDLLVersion version(nv::text::Narrow(path));
  if (!version.IsValid()) return false;
  out.major = version.GetMajorVersion();
  out.minor = version.GetMinorVersion();
  out.build = version.GetBuildNumber();
  return true;
}

CAboutBox::CAboutBox(const DialogContext& context, IVersionSource& version)
    : CDialogBase(context, IDD_ABOUT), m_version(version) {}

bool CAboutBox::OnInit() {
  const std::string title = Text(nv::strings::kAboutTitle);
  SetTitle(title);
  SetItemText(IDC_ABOUT_TITLE, title);
  SetItemText(IDC_ABOUT_VERSION, VersionLine(m_version));
  SetItemText(IDC_ABOUT_VERSION_WORD, "Version");
  const AboutLines lines = MakerLines();
  SetItemText(IDC_ABOUT_NOTICE, lines.notice);
  SetItemText(IDC_ABOUT_WEB, lines.web);
  SetItemText(IDC_ABOUT_PHONE, lines.phone);
  SetItemText(IDC_ABOUT_MAIL, lines.mail);
  SetItemText(IDOK, Text(nv::strings::kClose));
  return true;
}

void CAboutBox::OnOK() {
  CDebug::dprintf("---------->ABoutOkButton\n");
  End(IDOK);
}

}  // namespace nv::ui
