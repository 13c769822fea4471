#include "corekit/ini_file.h"
#include "netvane/ad_folder.h"
#include "netvane/ad_print.h"
#include "netvane/string_keys.h"

namespace nv::core {
namespace {

std::string Text(CIniFile& strings, const StringKey& k) {
  return strings.GetValue(k.section, k.key, k.resourceId);
}

}  // namespace

PrinterPageTexts ReadPrinterPageTexts(CIniFile& strings) {
  namespace s = nv::strings;
  return {Text(strings, s::kTPrnName), Text(strings, s::kNetA), Text(strings, s::kNetB),
          Text(strings, s::kScanPrn)};
}

FolderPageLabels ReadFolderPageLabels(CIniFile& strings) {
  namespace s = nv::strings;
  FolderPageLabels l;
  l.pause = Text(strings, s::kPause);
  l.always = Text(strings, s::kAlways);
  l.netB = Text(strings, s::kNetB);
  l.hidden = Text(strings, s::kHidden);
  l.rdonly = Text(strings, s::kRdonly);
  l.access = Text(strings, s::kAccess);
  l.net = Text(strings, s::kNet);
  l.tFolder = Text(strings, s::kTFolder);
  l.tPause = Text(strings, s::kTPause);
  l.tAccess = Text(strings, s::kTAccess);
  l.tNetwork = Text(strings, s::kTNetwork);
  l.add = Text(strings, s::kAdd);
  l.del = Text(strings, s::kDelete);
  l.apply = Text(strings, s::kApply);
  l.read = Text(strings, s::kRead);
  return l;
}

FolderPageTexts ReadFolderPageTexts(CIniFile& strings) {
  namespace s = nv::strings;
  return {Text(strings, s::kSelFolder), Text(strings, s::kAlreadyList)};
}

}  // namespace nv::core
