// CPrnInfo: the printer helper the tray program calls around a network change and from its
// printer page.  Our own stand-in for the outside NvPrn library.
//
// What the caller relies on: GetPrnNameList fills at most 20 descriptions and always sets the
// count; BeforeChange in phase 1 returns 0 when the change must not go on; the four text
// members are set by the caller before BeforeChange and used for the helper's own messages.
//
// What it does with the printer table (the product key's "Printer" values, two bytes each:
// belongs to network A, to network B):
// - phase 1 (before the switch, for the network to be connected): when documents are still
//   waiting on a printer that belongs only to the network being left, asks with the
//   change-operation text whether to change anyway; No refuses.  While Windows ends the
//   session nobody is asked.  A phase 1 that follows a phase 1 without a phase 0 in between is
//   the setting back after a failed switch: nothing has changed, so nothing is asked.
// - phase 0 (after the switch, for the network now in force): the network's first marked
//   printer that exists becomes the default printer.
// Never throws; not thread-safe (the tray program calls it on its main thread).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "nvprn/spooler.h"

// One scanned printer: the name first (NUL-terminated), the rest zero.
struct _PrnDesc {
  char szName[260];
};
static_assert(sizeof(_PrnDesc) == 260, "the scan buffer holds 260-byte descriptions");

class CPrnInfo {
 public:
  static constexpr int kMaxPrinters = 20;

  CPrnInfo();  // the platform's spooler and message box
  CPrnInfo(std::unique_ptr<nvprn::Spooler> spooler, std::unique_ptr<nvprn::Prompt> prompt);
  virtual ~CPrnInfo();
  CPrnInfo(const CPrnInfo&) = delete;
  CPrnInfo& operator=(const CPrnInfo&) = delete;

  // Fills `list` (room for kMaxPrinters) with the workstation's printers; names longer than
  // 259 bytes are cut at a character boundary.  Returns the count, also stored in `*count`.
  int GetPrnNameList(const std::string& installedPath, _PrnDesc* list, int* count) noexcept;

  // `productKeyPath`: the product key below HKEY_LOCAL_MACHINE; `network`: 0 = A, else B;
  // `sessionEnding`: 1 while Windows ends the session; `phase`: 1 before the switch, 0 after.
  // Non-zero to go on.
  int BeforeChange(const char* productKeyPath, uint32_t network, int sessionEnding, int phase) noexcept;

  std::string m_strNetA;
  std::string m_strNetB;
  std::string m_strCloseOper;
  std::string m_strChangeOper;

 private:
  int Prepare(const std::string& productKeyPath, int target, bool sessionEnding);
  void MakeDefault(const std::string& productKeyPath, int network);

  std::unique_ptr<nvprn::Spooler> m_spooler;
  std::unique_ptr<nvprn::Prompt> m_prompt;
  bool m_switchPending = false;  // phase 1 let a change go on and no phase 0 followed yet
};
