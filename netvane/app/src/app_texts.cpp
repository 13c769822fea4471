#include "app_texts.h"

#include "corekit/ini_file.h"
#include "netvane/string_keys.h"

namespace nv::app {
namespace {

std::string Text(CIniFile& strings, const StringKey& k) {
  return strings.GetValue(k.section, k.key, k.resourceId);
}

}  // namespace

CommonTexts ReadCommonTexts(CIniFile& strings) {
  namespace s = nv::strings;
  CommonTexts t;
  t.FontFaceName = Text(strings, s::kFontFaceName);
  t.szNetA = Text(strings, s::kNetA);
  t.szNetB = Text(strings, s::kNetB);
  t.szSave = Text(strings, s::kSave);
  t.szCancel = Text(strings, s::kCancel);
  t.szClose = Text(strings, s::kClose);
  t.szEnable = Text(strings, s::kEnable);
  t.szDisable = Text(strings, s::kDisable);
  t.szAdd = Text(strings, s::kAdd);
  t.szApply = Text(strings, s::kApply);
  t.szDelete = Text(strings, s::kDelete);
  t.szRead = Text(strings, s::kRead);
  return t;
}
std::string StringFilePath(std::string_view installedPath, std::string_view language) {
  if (installedPath.empty()) return {};
  std::string path(installedPath);
  path += "\\Netvane";
  path += language;
  path += ".ini";
  return path;
}

}  // namespace nv::app
