#include "netvane/win32/about_box.h"

#include <vector>

#include "corekit/debug.h"
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
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr ||
      infoSize < sizeof(VS_FIXEDFILEINFO))
    return false;
  out.major = HIWORD(info->dwFileVersionMS);
  out.minor = LOWORD(info->dwFileVersionMS);
  out.build = LOWORD(info->dwFileVersionLS);
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
