#include "update_texts.h"

#include <utility>

#include "corekit/ini_file.h"

namespace nv::updater {
namespace {

std::string WithLineBreaks(std::string text) {
  for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1)) {
    text.replace(at, 2, "\n");
  }
  return text;
}

std::vector<std::pair<const char*, std::string*>> KeysOf(UpdateTexts& t) {
  return {
      {"szTitle", &t.title},
      {"szServerName", &t.serverName},
      {"szTotal", &t.total},
      {"szDown", &t.down},
      {"szStartUpdate", &t.startUpdate},
      {"szStopUpdate", &t.stopUpdate},
      {"szServerconf", &t.serverConf},
      {"szExit", &t.exit},
      {"szAskStop", &t.askStop},
      {"szAskRetry", &t.askRetry},
      {"szConnect", &t.connect},
      {"szDownloading", &t.downloading},
      {"szFailList", &t.failList},
      {"szFailExecute", &t.failExecute},
      {"szWriteprotect", &t.writeProtect},
      {"szReadProtect", &t.readProtect},
      {"FontFaceName", &t.fontFace},
      {"szEdTitle", &t.edTitle},
      {"szServerAddr", &t.serverAddr},
      {"szUser", &t.user},
      {"szPass", &t.pass},
      {"szAppend", &t.append},
      {"szDelete", &t.remove},
      {"szOK", &t.ok},
      {"szCancel", &t.cancel},
      {"szBadSignature", &t.badSignature},
      {"szBadHash", &t.badHash},
      {"szNoHash", &t.noHash},
      {"szBadKey", &t.badKey},
      {"szUnverified", &t.unverified},
      {"szVerifiedRequired", &t.verifiedRequired},
      {"szOldSequence", &t.oldSequence},
      {"szSameName", &t.sameName},
      {"szBadStaging", &t.badStaging},
      {"szBadInstalledPath", &t.badInstalledPath},
  };
}

}  // namespace

std::vector<std::string> UpdateTextKeys() {
  UpdateTexts t;
  std::vector<std::string> keys;
  for (const auto& entry : KeysOf(t)) keys.push_back(entry.first);
  return keys;
}

UpdateTexts LoadUpdateTexts(CIniFile& strings) {
  UpdateTexts t;
  for (const auto& [key, text] : KeysOf(t)) {
    std::string value = strings.GetValue("Updagent", key);
    if (!value.empty()) *text = WithLineBreaks(std::move(value));
  }
  return t;
}

}  // namespace nv::updater
