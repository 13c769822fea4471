// CIniFile: one INI-style text file held in memory as sections ("keys") of named values, in
// order of first appearance.  The programs read their per-language text files with it and use
// the resource-id forms of GetValue for built-in defaults.
//
// Reading rules:
//   - The file is UTF-8; a leading byte-order mark is skipped.  On Windows a file without a mark
//     that is not valid UTF-8 is taken in the system ANSI code page (older string files); elsewhere
//     its bytes are kept as they are.
//   - LF and CR LF end a line; lines of any length are read in full (NUL bytes included).
//   - "[name]" starts a section: all leading "[" and trailing "]" are removed.  Values before the
//     first header belong to the section with the empty name.
//   - Any other line is split at its first "=", name and value kept exactly (no trimming, no
//     comment syntax); a repeated name overwrites the earlier value.
//   - Lines without "=" are skipped.
// Names are compared exactly (case-sensitive).  No operation throws; when memory runs out a
// call fails and leaves the model as it was.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "corekit/export.h"

class COREKIT_API CIniFile {
 public:
  CIniFile();
  explicit CIniFile(std::string path);
  virtual ~CIniFile();

  void SetPath(std::string path) noexcept;
  const std::string& GetPath() const noexcept { return m_path; }
  // Text of the last error; never cleared.
  const std::string& GetError() const noexcept { return m_error; }

  // Adds the file's contents to the model (the model is not emptied first).  False when the file
  // does not exist (error untouched) or cannot be read (error "Unable to open ini file.").
  bool ReadFile() noexcept;
  // Empties the model; path and error stay.
  void Reset() noexcept;
  // Writes every section that holds values, through a temporary beside the file that then
  // replaces it, so a failed write leaves the old file intact.  Lines end in CR LF; a UTF-8
  // byte-order mark is written when the text is not plain ASCII.  False (error "Unable to write
  // ini file.") when the file could not be written.
  bool WriteFile() noexcept;

  // The stored value; empty when the section or the value is missing (and the error says which).
  std::string GetValue(std::string_view section, std::string_view name) noexcept;
  // As above; an empty result (missing or stored empty) gives the string resource `resourceId`.
  std::string GetValue(std::string_view section, std::string_view name, unsigned resourceId) noexcept;
  // The value as a decimal integer: leading digits after optional blanks and sign, 0 when none;
  // out-of-range numbers are clamped.
  int GetValueI(std::string_view section, std::string_view name) noexcept;
  // As above; a result of 0 gives the number in the string resource `resourceId`.
  int GetValueI(std::string_view section, std::string_view name, unsigned resourceId) noexcept;
  double GetValueF(std::string_view section, std::string_view name) noexcept;
  double GetValueF(std::string_view section, std::string_view name, unsigned resourceId) noexcept;

  // Stores the value.  A missing section or value is appended when `create` is set; otherwise the
  // call fails.
  bool SetValue(std::string_view section, std::string_view name, std::string_view value,
                bool create = true) noexcept;
  bool SetValueI(std::string_view section, std::string_view name, int value, bool create = true) noexcept;
  bool SetValueF(std::string_view section, std::string_view name, double value, bool create = true) noexcept;

  // Remove a value or a whole section; false when missing.
  bool DeleteValue(std::string_view section, std::string_view name) noexcept;
  bool DeleteKey(std::string_view section) noexcept;

  int GetNumKeys() const noexcept;
  // -1 when the section is missing.
  int GetNumValues(std::string_view section) const noexcept;

 private:
  using Index = std::map<std::string, int, std::less<>>;
  struct Key {
    std::vector<std::string> values;
    std::vector<std::string> names;
    Index index;  // name -> position, so large files read in linear time
  };

  int FindKey(std::string_view section) const noexcept;
  int FindValue(int keyIndex, std::string_view name) const noexcept;
  // Looks the value up; null (and the error set) when the section or value is missing.
  const std::string* Lookup(std::string_view section, std::string_view name);
  int AppendKey(std::string_view section);
  static int AppendValue(Key& key, std::string_view name);
  // Positions after `removed` move down by one.
  static void CloseGap(Index& index, int removed) noexcept;
  void Parse(std::string_view text, bool legacy);
  std::string Serialize() const;

  std::string m_path;
  std::vector<Key> m_keys;
  std::vector<std::string> m_names;
  Index m_keyIndex;
  std::string m_error;
};
