#include "corekit/debug.h"
#include "corekit/test_switches.h"
#include "netvane/win32/ad_page_views.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"
// After windows.h, which the views' header brings in.
#include <commctrl.h>

namespace nv::core {
namespace {

constexpr const wchar_t* kCaption = L"Netvane";

// As everywhere in the tray program: NV_NO_MESSAGEBOX=1 (test builds) turns a box into a trace line.
bool Unattended() { return nv::corekit::UnattendedMessageBoxes(); }

void SetText(HWND page, int id, const std::string& text) {
  ::SetDlgItemTextW(page, id, nv::text::Widen(text).c_str());
}

void AddColumn(HWND list, int index, const std::string& title, int width, int format) {
  std::wstring text = nv::text::Widen(title);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = text.data();
  column.iSubItem = index;
  ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void SetCell(HWND list, int row, int column, const std::string& value) {
  std::wstring text = nv::text::Widen(value);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text.data();
  ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void AddRow(HWND list, int row, const std::vector<std::string>& cells) {
  std::wstring first = nv::text::Widen(cells.empty() ? std::string() : cells[0]);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = first.data();
  const int at = static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  for (size_t c = 1; c < cells.size(); ++c) SetCell(list, at, static_cast<int>(c), cells[c]);
}

void PrepareList(HWND list, HFONT font) {
  if (font != nullptr) ::SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void FullRowSelect(HWND list) {
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

}  // namespace

// ---- printer page ----

void CAdPrintView::OnInit(HWND page, const PrinterPageTexts& texts, HFONT font) {
  SetText(page, IDC_PRINT_SCAN, texts.scan);
  const HWND list = ::GetDlgItem(page, IDC_PRINT_LIST);
  PrepareList(list, font);
  const std::string titles[3] = {texts.printerTitle, texts.netA, texts.netB};
  for (int c = 0; c < 3; ++c) AddColumn(list, c, titles[c], CAdPrint::kColumnWidths[c], LVCFMT_CENTER);
  FullRowSelect(list);
  m_model.Load();
  Fill(list);
}

void CAdPrintView::Fill(HWND list) {
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  int row = 0;
  for (const CAdPrint::Row& r : m_model.rows()) AddRow(list, row++, {r.name, r.marks[0], r.marks[1]});
}

bool CAdPrintView::OnCommand(HWND page, int id, int code) {
  if (id != IDC_PRINT_SCAN || code != BN_CLICKED) return false;
  m_model.Scan();
  Fill(::GetDlgItem(page, IDC_PRINT_LIST));
  return true;
}

bool CAdPrintView::OnNotify(HWND, const NMHDR* header) {
  if (header == nullptr || header->idFrom != IDC_PRINT_LIST || header->code != NM_CLICK) return false;
  const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
  LVHITTESTINFO hit{};
  hit.pt = click->ptAction;
  ::SendMessageW(header->hwndFrom, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if (hit.iItem < 0) return true;
  const size_t row = static_cast<size_t>(hit.iItem);
  if (m_model.Toggle(row, hit.iSubItem))
    SetCell(header->hwndFrom, hit.iItem, hit.iSubItem, m_model.rows()[row].marks[hit.iSubItem - 1]);
  return true;
}

// ---- folder page ----

std::optional<std::string> CWin32FolderPageHost::ChooseFolder(const std::string& title) {
  return m_chooser ? m_chooser(m_owner, title) : std::nullopt;
}

void CWin32FolderPageHost::Inform(const std::string& text) {
  if (Unattended()) {
    CDebug::dprintf("FolderPage: %s", text.c_str());
    return;
  }
  ::MessageBoxW(m_owner, nv::text::Widen(text).c_str(), kCaption, MB_OK);
}

bool CWin32FolderPageHost::AskYesNo(const std::string& text) {
  if (Unattended()) {
    CDebug::dprintf("FolderPage: %s -> No\n", text.c_str());
    return false;
  }
  return ::MessageBoxW(m_owner, nv::text::Widen(text).c_str(), kCaption, MB_YESNO) == IDYES;
}

void CAdFolderView::OnInit(HWND page, const FolderPageLabels& labels, HFONT font) {
  SetText(page, IDC_FOLDER_PAUSE, labels.pause);
  SetText(page, IDC_FOLDER_ALWAYS, labels.always);
  SetText(page, IDC_FOLDER_NET_B, labels.netB);
  SetText(page, IDC_FOLDER_HIDDEN, labels.hidden);
  SetText(page, IDC_FOLDER_RDONLY, labels.rdonly);
  SetText(page, IDC_FOLDER_ACCESS_LABEL, labels.access);
  SetText(page, IDC_FOLDER_NET_LABEL, labels.net);
  SetText(page, IDC_FOLDER_ADD, labels.add);
  SetText(page, IDC_FOLDER_DELETE, labels.del);
  SetText(page, IDC_FOLDER_APPLY, labels.apply);
  SetText(page, IDC_FOLDER_READ, labels.read);
  const HWND list = ::GetDlgItem(page, IDC_FOLDER_LIST);
  PrepareList(list, font);
  const std::string titles[4] = {labels.tFolder, labels.tPause, labels.tAccess, labels.tNetwork};
  for (int c = 0; c < 4; ++c)
    AddColumn(list, c, titles[c], kFolderColumnWidths[c], c == 0 ? LVCFMT_LEFT : LVCFMT_CENTER);
  // Without the device (NT family) the page stays as the template made it: no rows, no message.
  if (!m_model.Init()) return;
  FullRowSelect(list);
  Refresh(page);
}

std::vector<size_t> CAdFolderView::Selected(HWND page) const {
  std::vector<size_t> rows;
  const HWND list = ::GetDlgItem(page, IDC_FOLDER_LIST);
  int i = -1;
  while ((i = static_cast<int>(
              ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0)
    rows.push_back(static_cast<size_t>(i));
  return rows;
}

FlagEditor CAdFolderView::ReadEditor(HWND page) const {
  const auto checked = [page](int id) { return ::IsDlgButtonChecked(page, id) == BST_CHECKED; };
  FlagEditor e;
  e.paused = checked(IDC_FOLDER_PAUSE);
  e.networkB = checked(IDC_FOLDER_NET_B);
  e.always = checked(IDC_FOLDER_ALWAYS);
  e.hidden = checked(IDC_FOLDER_HIDDEN);
  e.readOnly = checked(IDC_FOLDER_RDONLY);
  return e;
}

void CAdFolderView::Refresh(HWND page) {
  const HWND list = ::GetDlgItem(page, IDC_FOLDER_LIST);
  const std::vector<size_t> selected = Selected(page);
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  int row = 0;
  for (const FolderRow& r : m_model.rows()) AddRow(list, row++, {r.folder, r.paused, r.access, r.network});
  // Rows edited in place keep their selection; after Add, Delete or Read the indices are stale.
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED;
  state.state = LVIS_SELECTED;
  for (size_t i : selected)
    if (i < m_model.rows().size())
      ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&state));

  const FlagEditor& e = m_model.editor();
  ::CheckDlgButton(page, IDC_FOLDER_PAUSE, e.paused ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(page, IDC_FOLDER_NET_B, e.networkB ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(page, IDC_FOLDER_ALWAYS, e.always ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(page, IDC_FOLDER_HIDDEN, e.hidden ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(page, IDC_FOLDER_RDONLY, e.readOnly ? BST_CHECKED : BST_UNCHECKED);
  ::EnableWindow(::GetDlgItem(page, IDC_FOLDER_DELETE), m_model.deleteEnabled());
  ::EnableWindow(::GetDlgItem(page, IDC_FOLDER_APPLY), m_model.applyEnabled());
}

bool CAdFolderView::OnCommand(HWND page, int id, int code) {
  if (code != BN_CLICKED) return false;
  const std::vector<size_t> selected = Selected(page);
  switch (id) {
    case IDC_FOLDER_ADD:
      m_model.Add();
      break;
    case IDC_FOLDER_DELETE:
      m_model.Delete(selected);
      ::SendDlgItemMessageW(page, IDC_FOLDER_LIST, LVM_DELETEALLITEMS, 0, 0);
      break;
    case IDC_FOLDER_APPLY:
      m_model.Apply();
      break;
    case IDC_FOLDER_READ:
      m_model.Read();
      ::SendDlgItemMessageW(page, IDC_FOLDER_LIST, LVM_DELETEALLITEMS, 0, 0);
      break;
    case IDC_FOLDER_PAUSE:
    case IDC_FOLDER_ALWAYS:
    case IDC_FOLDER_NET_B:
    case IDC_FOLDER_HIDDEN:
    case IDC_FOLDER_RDONLY:
      m_model.EditFlags(selected, ReadEditor(page));
      break;
    default:
      return false;
  }
  Refresh(page);
  return true;
}

bool CAdFolderView::OnNotify(HWND page, const NMHDR* header) {
  if (header == nullptr || header->idFrom != IDC_FOLDER_LIST || header->code != NM_CLICK) return false;
  m_model.ClickList(Selected(page));
  Refresh(page);
  return true;
}

}  // namespace nv::core
