#include "server_dialog.h"

#include "nvres/nvres_ids.h"
#include "platform/text.h"

namespace nv::updater {

std::string ServerDialog::Field(int id) const {
  wchar_t buffer[512] = {};
  ::GetDlgItemTextW(hwnd(), id, buffer, 512);
  return nv::text::Narrow(buffer);
}

void ServerDialog::OnInit() {
  ::SetWindowTextW(hwnd(), nv::text::Widen(m_texts.edTitle).c_str());
  m_font = ApplyFontFace(hwnd(), m_texts.fontFace);
  const std::pair<int, const std::string*> labels[] = {
      {IDC_SERVER_NAME_LABEL, &m_texts.serverName},
      {IDC_SERVER_ADDR_LABEL, &m_texts.serverAddr},
      {IDC_SERVER_USER_LABEL, &m_texts.user},
      {IDC_SERVER_PASS_LABEL, &m_texts.pass},
      {IDC_SERVER_APPEND, &m_texts.append},
      {IDC_SERVER_DELETE, &m_texts.remove},
      {IDOK, &m_texts.ok},
      {IDCANCEL, &m_texts.cancel},
  };
  for (const auto& [id, text] : labels) ::SetDlgItemTextW(hwnd(), id, nv::text::Widen(*text).c_str());
  m_servers = m_settings.LoadServers();
  Refill();
}

void ServerDialog::Refill() {
  ::SendMessageW(Item(IDC_SERVER_LIST), LB_RESETCONTENT, 0, 0);
  for (const auto& s : m_servers) {
    ::SendMessageW(Item(IDC_SERVER_LIST), LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(nv::text::Widen(s.name).c_str()));
  }
}

void ServerDialog::OnCommand(int id, int code) {
  const int selected = static_cast<int>(::SendMessageW(Item(IDC_SERVER_LIST), LB_GETCURSEL, 0, 0));
  switch (id) {
    case IDC_SERVER_LIST:
      if (code == LBN_SELCHANGE && selected >= 0 && selected < static_cast<int>(m_servers.size())) {
        const ServerRecord& s = m_servers[static_cast<size_t>(selected)];
        ::SetDlgItemTextW(hwnd(), IDC_SERVER_NAME, nv::text::Widen(s.name).c_str());
        ::SetDlgItemTextW(hwnd(), IDC_SERVER_ADDR, nv::text::Widen(s.address).c_str());
        ::SetDlgItemTextW(hwnd(), IDC_SERVER_USER, nv::text::Widen(s.user).c_str());
        ::SetDlgItemTextW(hwnd(), IDC_SERVER_PASS, nv::text::Widen(s.password).c_str());
      }
      break;
    case IDC_SERVER_APPEND: {
      ServerRecord s{nv::text::ToUpperAscii(Field(IDC_SERVER_NAME)), Field(IDC_SERVER_USER),
                     Field(IDC_SERVER_PASS), Field(IDC_SERVER_ADDR)};
      // A name is a registry value name and the built-in entry's name is taken.
      if (s.name.empty() || s.name == kBuiltInServerName || s.name.find('\\') != std::string::npos) break;
      for (auto& existing : m_servers) {
        if (existing.name == s.name) existing = s, s.name.clear();
      }
      if (!s.name.empty()) m_servers.push_back(s);
      Refill();
      break;
    }
    case IDC_SERVER_DELETE:
      if (selected >= 0 && selected < static_cast<int>(m_servers.size())) {
        m_servers.erase(m_servers.begin() + selected);
        Refill();
      }
      break;
    case IDOK:
      m_settings.SaveServers(m_servers);
      ::EndDialog(hwnd(), IDOK);
      break;
    case IDCANCEL:
      ::EndDialog(hwnd(), IDCANCEL);
      break;
    default:
      break;
  }
}

}  // namespace nv::updater
