#include "netvane/ad_folder.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace nv::core {
namespace {

constexpr size_t kChosenPathLimit = 259;

int Upper(char c) { return std::toupper(static_cast<unsigned char>(c)); }

// At most `limit` bytes of `text`, never ending inside a UTF-8 sequence.
std::string Cut(std::string text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  text.resize(n);
  return text;
}

}  // namespace

bool MatchPrefix(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return false;
  for (size_t i = 0;; ++i) {
    if (i == pattern.size()) return i == text.size();
    if (pattern[i] == '*') return true;
    if (i == text.size()) return false;
    if (Upper(pattern[i]) != Upper(text[i])) return false;
  }
}

FolderRow RowFromFlags(const std::string& folder, uint8_t flags) {
  FolderRow row;
  row.folder = folder;
  row.paused = (flags & kFolderInForce) != 0 ? "" : kFolderPaused;
  // A device entry with neither access bit shows no access: reading the row back keeps it so.
  row.access = (flags & kFolderHiddenFlag) != 0 ? kFolderHidden
               : (flags & kFolderReadOnly) != 0 ? kFolderRead
                                                : "";
  row.network = (flags & kFolderNetBOnly) != 0 ? kFolderNetB : kFolderAlways;
  return row;
}

uint8_t FlagsFromRow(const FolderRow& row) {
  uint8_t flags = 0x19;
  if (!nv::text::EqualsNoCase(row.paused, kFolderPaused)) flags |= kFolderInForce;
  flags = nv::text::EqualsNoCase(row.access, kFolderHidden) ? flags | kFolderHiddenFlag
                                                            : flags & ~kFolderHiddenFlag;
  flags =
      nv::text::EqualsNoCase(row.access, kFolderRead) ? flags | kFolderReadOnly : flags & ~kFolderReadOnly;
  flags =
      nv::text::EqualsNoCase(row.network, kFolderNetB) ? flags | kFolderNetBOnly : flags & ~kFolderNetBOnly;
  return flags;
}

FlagEditor EditorFromFlags(uint8_t flags) {
  FlagEditor e;
  e.paused = (flags & kFolderInForce) == 0;
  e.hidden = (flags & kFolderHiddenFlag) != 0;
  e.readOnly = !e.hidden;
  e.networkB = (flags & kFolderNetBOnly) != 0;
  e.always = !e.networkB;
  return e;
}

uint8_t FlagsFromEditor(const FlagEditor& editor) {
  uint8_t flags = editor.paused ? 0x19 : 0x39;
  flags = editor.networkB ? flags | kFolderNetBOnly : flags & ~kFolderNetBOnly;
  flags = editor.hidden ? flags | kFolderHiddenFlag : (flags & ~kFolderHiddenFlag) | kFolderReadOnly;
  return flags;
}

}  // namespace nv::core

namespace core = nv::core;

CAdFolder::CAdFolder(CGuardDevice* device, std::string windowsDir, core::FolderPageTexts texts,
                     core::IFolderPageHost& host)
    : m_device(device), m_windowsDir(std::move(windowsDir)), m_texts(std::move(texts)), m_host(host) {
  while (!m_windowsDir.empty() && (m_windowsDir.back() == '\\' || m_windowsDir.back() == '/'))
    m_windowsDir.pop_back();
}

bool CAdFolder::Init() {
  if (m_device == nullptr || !m_device->Open()) return false;
  m_opened = true;
  m_deleteEnabled = false;
  m_applyEnabled = false;
  LoadList(m_device->GetList());
  return true;
}

void CAdFolder::LoadList(const std::optional<std::vector<core::FolderRecord>>& list) {
  if (!list) return;
  m_rows.clear();
  // Every folder comes as two records; the second (short form) is not shown.
  for (size_t i = 0; i < list->size(); i += 2)
    m_rows.push_back(core::RowFromFlags((*list)[i].path, (*list)[i].flags));
}

void CAdFolder::Add() {
  const std::optional<std::string> chosen = m_host.ChooseFolder(m_texts.selFolder);
  if (!chosen || chosen->empty()) return;
  const std::string path = core::Cut(*chosen, core::kChosenPathLimit);

  if (!m_windowsDir.empty() && core::MatchPrefix(m_windowsDir + "\\*", path)) {
    m_host.Inform(core::kSystemFolderRefused);
    return;
  }
  // The pattern must fit the device's record with its NUL.
  if (path.size() + 1 >= core::kFolderPathField) {
    m_host.Inform(core::kFolderTooLong);
    return;
  }
  for (core::FolderRow& row : m_rows) {
    const std::string& existing = row.folder;
    if (core::MatchPrefix(existing, path)) {
      m_host.Inform(m_texts.alreadyList + "(" + existing + ")\n");
      return;
    }
    if (existing.size() > path.size() && core::MatchPrefix(path + "*", existing)) {
      // The new folder covers this entry: widen the entry instead of adding a second one.
      if (m_host.AskYesNo(m_texts.alreadyList + "(" + existing + ")\n\nModify ?")) row.folder = path + "*";
      return;
    }
  }
  m_rows.push_back(core::RowFromFlags(path + "*", core::kNewFolderFlags));
  m_applyEnabled = true;
}

void CAdFolder::Delete(const std::vector<size_t>& selected) {
  std::vector<size_t> doomed = selected;
  std::sort(doomed.begin(), doomed.end());
  doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
  for (auto it = doomed.rbegin(); it != doomed.rend(); ++it)
    if (*it < m_rows.size()) m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(*it));
  m_applyEnabled = true;
}

void CAdFolder::Apply() {
  if (m_device != nullptr) m_device->ApplyList(BuildRecords());
  m_applyEnabled = false;
  m_deleteEnabled = false;
}

void CAdFolder::Read() {
  if (m_device == nullptr) return;
  const std::optional<std::vector<core::FolderRecord>> list = m_device->ReadList();
  if (!list) return;
  LoadList(list);
  m_applyEnabled = true;
  m_deleteEnabled = false;
}

void CAdFolder::ClearEditor() {
  m_editor = core::FlagEditor{};
  m_deleteEnabled = false;
}

void CAdFolder::ClickList(const std::vector<size_t>& selected) {
  if (selected.empty() || selected.front() >= m_rows.size()) {
    ClearEditor();
    return;
  }
  m_editor = core::EditorFromFlags(core::FlagsFromRow(m_rows[selected.front()]));
  m_deleteEnabled = true;
}

void CAdFolder::EditFlags(const std::vector<size_t>& selected, const core::FlagEditor& editor) {
  if (selected.empty()) {
    ClearEditor();
    return;
  }
  const uint8_t flags = core::FlagsFromEditor(editor);
  for (size_t i : selected) {
    if (i >= m_rows.size()) continue;
    m_rows[i] = core::RowFromFlags(m_rows[i].folder, flags);
  }
  m_editor = editor;
  m_applyEnabled = true;
}

void CAdFolder::Save() {
  if (m_device != nullptr) m_device->SaveList(BuildRecords());
}

std::vector<core::FolderRecord> CAdFolder::BuildRecords() const {
  std::vector<core::FolderRecord> records;
  records.reserve(m_rows.size() * 2);
  for (const core::FolderRow& row : m_rows) {
    const uint8_t flags = core::FlagsFromRow(row);
    records.push_back({flags, row.folder});
    // The device also matches the short form; it is asked for the folder itself, without "*".
    std::string folder = row.folder;
    if (!folder.empty() && folder.back() == '*') folder.pop_back();
    std::optional<std::string> shortForm = m_host.ShortPath(folder);
    if (shortForm && !shortForm->empty() && shortForm->size() + 1 < core::kFolderPathField) {
      records.push_back({flags, *shortForm + "*"});
    } else {
      records.push_back({flags, core::kNoShortForm});
    }
  }
  return records;
}
