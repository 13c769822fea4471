// The server editor: the stored update servers with Add and Delete; OK rewrites the registry's
// Server, ServerList and ServerNum.
#pragma once
#include <vector>

#include "dialog_base.h"
#include "update_settings.h"
#include "update_texts.h"

namespace nv::updater {

class ServerDialog final : public DialogBase {
 public:
  ServerDialog(const CUpdateSettings& settings, const UpdateTexts& texts)
      : m_settings(settings), m_texts(texts) {}

 private:
  void OnInit() override;
  void OnCommand(int id, int code) override;
  void Refill();
  std::string Field(int id) const;

  const CUpdateSettings& m_settings;
  const UpdateTexts& m_texts;
  std::vector<ServerRecord> m_servers;
  UniqueFont m_font;
};

}  // namespace nv::updater
