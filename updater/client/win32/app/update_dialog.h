// The update dialog: server choice, Start and Stop, two progress bars and a status line over one
// update run on a worker thread.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "dialog_base.h"
#include "update_run.h"
#include "update_settings.h"
#include "update_texts.h"

namespace nv::updater {

struct UpdateProgram {
  HINSTANCE resources = nullptr;
  std::string makerKey;
  std::string productKey;
  HWND trayWindow = nullptr;
  int exitCommand = 0;
  std::string programPath;
  std::string installedPath;
  UpdateTexts texts;
  ServerDefaults defaults;
  uint16_t port = 21;
  ListContext list;
};

class UpdateDialog final : public DialogBase, private IUpdateView {
 public:
  explicit UpdateDialog(const UpdateProgram& program);
  ~UpdateDialog() override;

 private:
  void OnInit() override;
  void OnCommand(int id, int code) override;
  INT_PTR OnOther(UINT message, WPARAM wParam, LPARAM lParam) override;

  void FillServers();
  void Start();
  void AskStop();
  void Finished(RunOutcome* outcome);
  void SetText(int id, const std::string& text);
  int Message(const std::string& text, unsigned type, int unattendedAnswer = IDOK);

  // IUpdateView, called on the worker thread.
  void ShowStatus(const std::string& text) override;
  void ShowTotalProgress(int percent) override;
  void ShowFileProgress(int percent) override;
  bool Ask(const std::string& text) override;

  const UpdateProgram& m_program;
  CUpdateSettings m_settings;
  std::thread m_worker;
  std::atomic<bool> m_stop{false};
  bool m_running = false;
  UniqueFont m_font;
};

}  // namespace nv::updater
