// The running tray program as LDNvChng reaches it on Windows: its frame window ("Netvane_CLASS"),
// window messages with a time limit, and the product key below HKEY_LOCAL_MACHINE.
#pragma once
#include "change_request.h"
#include "platform/windows_api.h"

namespace ldnvchng {

class Win32TrayChannel : public TrayChannel {
 public:
  // `answerLimitMs`: how long one message may take; a change blocks the tray program for its
  // whole run (switch box, address renewal), so this is generous.
  explicit Win32TrayChannel(unsigned answerLimitMs = 180000);

  bool Running() override;
  bool AcceptsRequests() override;
  Answer SendCommand(uint32_t command) override;
  bool SendChange() override;
  std::optional<uint32_t> StoredStatus() override;
  std::string NetworkName(int network) override;
  std::string StartTray() override;
  void Wait(unsigned ms) override;

 private:
  // False when not answered in time; `result` is the window's answer.
  bool Send(UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr);

  unsigned m_limitMs;
  HWND m_frame = nullptr;
};

}  // namespace ldnvchng
