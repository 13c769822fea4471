// Built-in texts by string-resource id: the fall-back of every user-visible text that the
// language string file does not hold.
//
// One process-wide source answers `LoadResourceString`.  By default that is the executable's
// own string table on Windows and nothing elsewhere; a program installs its own source
// (the tray program: its resource library; tests and native builds: a `CStringTable`).
#pragma once
#include <map>
#include <string>

#include "corekit/export.h"

class COREKIT_API IStringSource {
 public:
  virtual ~IStringSource() = default;
  // Fills `text` with the string of `id`; false when the source has none.
  virtual bool Lookup(unsigned id, std::string& text) const noexcept = 0;
};

// A source backed by an in-memory table.
class COREKIT_API CStringTable final : public IStringSource {
 public:
  void Set(unsigned id, std::string text);
  bool Lookup(unsigned id, std::string& text) const noexcept override;

 private:
  std::map<unsigned, std::string> m_strings;
};

// Installs the source that `LoadResourceString` asks; null restores the default.  The source is
// not owned and must stay alive while it is installed.
COREKIT_API void SetStringSource(const IStringSource* source) noexcept;

// The string of `id` from the installed source; empty when it has none.
COREKIT_API std::string LoadResourceString(unsigned id);
