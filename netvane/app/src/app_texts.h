// Texts the tray program reads from its language string file at start-up.
#pragma once
#include <string>
#include <string_view>

class CIniFile;

namespace nv::app {

inline constexpr const char* kAppName = "Netvane";

// The dozen texts every dialog uses.
struct CommonTexts {
  std::string FontFaceName;
  std::string szNetA;
  std::string szNetB;
  std::string szEnable;
  std::string szDisable;
  std::string szClose;
  std::string szSave;
  std::string szCancel;
  std::string szAdd;
  std::string szDelete;
  std::string szApply;
  std::string szRead;
};

// Each text from the file, or the resource library's string when the file has none.
CommonTexts ReadCommonTexts(CIniFile& strings);

// "%s\Netvane%s.ini": the string file of a language in the installation folder; empty when
// there is no installation folder (the texts then come from the resource library alone).
std::string StringFilePath(std::string_view installedPath, std::string_view language);

}  // namespace nv::app
