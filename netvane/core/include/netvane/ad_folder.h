// CAdFolder: what the folder page of the option sheet decides, without windows.  The page edits
// the folder-guard device's list: rows are read from the device when the page opens (GetList)
// or on Read (ReadList), handed back on Apply (ApplyList) and when the sheet is confirmed
// (Save: SaveList).  Nothing is kept anywhere else.
//
// The window code shows `rows()` in its list view (control 1085, four columns: folder, paused,
// access, network), sets the buttons from `deleteEnabled()` / `applyEnabled()` and the flag
// editor (check box 1099, radios 1093/1094 and 1096/1097) from `editor()`, and forwards:
// Add (1086), Delete (1087) with the selected rows, Apply (1088), Read (1090), a click on the
// list with the rows selected after it, a click on the check box or a radio with the rows
// selected and the controls' state, and Save from the sheet.  It refreshes everything after
// each call.  The chooser, the message boxes and the short-path service come through
// IFolderPageHost.  Without a device (NT-family systems) the page opens inert: no rows, no
// message, buttons left as the template has them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "netvane/guard_device.h"

class CIniFile;

namespace nv::core {

// Column texts, fixed because rows are turned back into flags by comparing them.
inline constexpr const char* kFolderPaused = "V";
inline constexpr const char* kFolderHidden = "Hidden";
inline constexpr const char* kFolderRead = "Read";
inline constexpr const char* kFolderNetB = "NET B";
inline constexpr const char* kFolderAlways = "Always";
inline constexpr const char* kSystemFolderRefused = "System Folder can't be selected!!\n";
inline constexpr const char* kFolderTooLong = "Folder path is too long!!\n";
inline constexpr const char* kNoShortForm = "///Org Short//";
inline constexpr int kFolderColumnWidths[4] = {185, 38, 50, 60};

// Entry flags.
inline constexpr uint8_t kFolderNetBOnly = 0x01;
inline constexpr uint8_t kFolderReadOnly = 0x02;
inline constexpr uint8_t kFolderHiddenFlag = 0x08;
inline constexpr uint8_t kFolderPageMark = 0x10;
inline constexpr uint8_t kFolderInForce = 0x20;
inline constexpr uint8_t kNewFolderFlags = 0x39;

struct FolderRow {
  std::string folder;   // column 0: a full path followed by "*"
  std::string paused;   // column 1: "V" or empty
  std::string access;   // column 2: "Hidden" or "Read"
  std::string network;  // column 3: "NET B" or "Always"
  bool operator==(const FolderRow& o) const {
    return folder == o.folder && paused == o.paused && access == o.access && network == o.network;
  }
};

// The check box and the two radio groups; all clear when no row is shown.
struct FlagEditor {
  bool paused = false;
  bool networkB = false;
  bool always = false;
  bool hidden = false;
  bool readOnly = false;
  bool operator==(const FlagEditor& o) const {
    return paused == o.paused && networkB == o.networkB && always == o.always && hidden == o.hidden &&
           readOnly == o.readOnly;
  }
};

struct FolderPageLabels {
  std::string pause, always, netB, hidden, rdonly, access, net;  // check box, radios, group labels
  std::string tFolder, tPause, tAccess, tNetwork;                // column titles
  std::string add, del, apply, read;                             // buttons (CommonStr)
};

struct FolderPageTexts {
  std::string selFolder;    // title of the folder chooser
  std::string alreadyList;  // first part of the duplicate and overlap messages
};

// The page's texts from the string file, with the resource library's strings as fall-back.
FolderPageLabels ReadFolderPageLabels(CIniFile& strings);
FolderPageTexts ReadFolderPageTexts(CIniFile& strings);

class IFolderPageHost {
 public:
  virtual ~IFolderPageHost() = default;
  // The folder chooser; nullopt when cancelled.
  virtual std::optional<std::string> ChooseFolder(const std::string& title) = 0;
  // A message box with an OK button (caption "Netvane").
  virtual void Inform(const std::string& text) = 0;
  // A message box with Yes and No (caption "Netvane"); true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // The system's short (8.3) form of `path` (at most 256 bytes); nullopt when it fails.
  virtual std::optional<std::string> ShortPath(const std::string& path) = 0;
};

// The system's short (8.3) form of an existing path, at most 256 bytes; nullopt when the service
// fails or there are no short names (natively).  What a Win32 IFolderPageHost::ShortPath uses.
std::optional<std::string> SystemShortPath(const std::string& path);

// A pattern is a literal prefix: everything after its first "*" is ignored; letters compare
// case-insensitively (single-byte upper-casing); an empty pattern matches nothing.
bool MatchPrefix(std::string_view pattern, std::string_view text);

FolderRow RowFromFlags(const std::string& folder, uint8_t flags);
uint8_t FlagsFromRow(const FolderRow& row);
FlagEditor EditorFromFlags(uint8_t flags);
uint8_t FlagsFromEditor(const FlagEditor& editor);

}  // namespace nv::core

class CAdFolder {
 public:
  // `device`: the wrapper to use (null: none, the page stays inert); `windowsDir`: folders below
  // it are refused.
  CAdFolder(CGuardDevice* device, std::string windowsDir, nv::core::FolderPageTexts texts,
            nv::core::IFolderPageHost& host);

  // Opens the device; false when it cannot be opened (the page stays inert).
  bool Init();
  void Add();
  void Delete(const std::vector<size_t>& selected);
  void Apply();
  void Read();
  // A click on the list; `selected`: the rows selected after it (empty: no row was hit).
  void ClickList(const std::vector<size_t>& selected);
  // A click on the check box or a radio: `editor` is the controls' state after it.
  void EditFlags(const std::vector<size_t>& selected, const nv::core::FlagEditor& editor);
  // The sheet was confirmed.
  void Save();

  // Two records per row: the pattern, then its short form.
  std::vector<nv::core::FolderRecord> BuildRecords() const;

  const std::vector<nv::core::FolderRow>& rows() const noexcept { return m_rows; }
  const nv::core::FlagEditor& editor() const noexcept { return m_editor; }
  bool deleteEnabled() const noexcept { return m_deleteEnabled; }
  bool applyEnabled() const noexcept { return m_applyEnabled; }
  bool fullRowSelect() const noexcept { return m_opened; }

 private:
  void LoadList(const std::optional<std::vector<nv::core::FolderRecord>>& list);
  void ClearEditor();

  CGuardDevice* m_device;
  std::string m_windowsDir;
  nv::core::FolderPageTexts m_texts;
  nv::core::IFolderPageHost& m_host;
  std::vector<nv::core::FolderRow> m_rows;
  nv::core::FlagEditor m_editor;
  // The template's states until the device opens.
  bool m_deleteEnabled = true;
  bool m_applyEnabled = true;
  bool m_opened = false;
};
