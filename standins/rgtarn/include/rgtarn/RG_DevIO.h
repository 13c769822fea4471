// rgTarn's switch packet driver interface: opens the packet driver on one network adapter, reads
// the adapter's MAC and sends whole Ethernet frames from buffers the caller owns.
//
// Lifecycle: construct; DrvOpen(adapter); GetNicMac; SetFilter; AllocPacket and InitPacket once;
// SndFrame as often as needed (each time the frame leaves with the buffer's content at that
// moment); FreePacket; DrvClose (safe at any point, also twice); destroy.  GetNicName needs no
// open driver.  Everything runs on the caller's thread, reports failure as 0 or null and never
// throws.  The operations are virtual so that a caller's tests can stand in for the driver.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "rgtarn/adapter_desc.h"
#include "rgtarn/nic_link.h"

// A frame to send: refers to a caller's buffer, never copies it.
struct RG_PACKET;
using LPRG_PACKET = RG_PACKET*;

class CRG_DevIO {
 public:
  // The most adapters GetNicName reports.
  static constexpr int kMaxAdapters = 20;

  // The owner window is kept for the caller's sake; the driver posts nothing to it.
  explicit CRG_DevIO(void* owner_window = nullptr) noexcept;
  virtual ~CRG_DevIO();
  CRG_DevIO(const CRG_DevIO&) = delete;
  CRG_DevIO& operator=(const CRG_DevIO&) = delete;

  // Opens the driver on the adapter: a GetNicName name ("\Device\RgateII_<service>") or the bare
  // service name.  An open driver is closed first.  Non-zero when open.
  virtual int DrvOpen(const std::string& adapter_name) noexcept;
  // Copies the open adapter's 6-byte MAC to `mac`; non-zero on success, `mac` untouched otherwise.
  virtual int GetNicMac(unsigned char* mac) noexcept;
  // Prepares the open adapter for sending (it must be up); receiving stays off.  Non-zero when ready.
  virtual int SetFilter() noexcept;
  // A new packet, owned by this object until FreePacket; null when out of memory.
  virtual LPRG_PACKET AllocPacket() noexcept;
  // Makes `packet` refer to `length` bytes at `buffer`, which must outlive its use.
  virtual void InitPacket(LPRG_PACKET packet, void* buffer, unsigned length) noexcept;
  // Sends the packet's frame (14 to 1514 bytes, no frame check sequence): exactly 1 when sent.
  virtual int SndFrame(LPRG_PACKET packet) noexcept;
  // Releases a packet from AllocPacket; null, foreign or already freed packets are ignored.
  virtual void FreePacket(LPRG_PACKET packet) noexcept;
  virtual void DrvClose() noexcept;
  // Zeroes up to min(max_entries, 20) descriptors and fills them with the adapters the driver can
  // open; returns how many were filled.
  virtual int GetNicName(tagADAPTER_DESC* table, int max_entries) noexcept;

 protected:
  // Tests reach the adapter through `open_link` instead of the platform's packet driver.
  CRG_DevIO(void* owner_window, rgtarn::LinkOpener open_link) noexcept;

 private:
  void CloseLink() noexcept;
  bool Owns(LPRG_PACKET packet) const noexcept;

  [[maybe_unused]] void* owner_window_;
  rgtarn::LinkOpener open_link_;
  std::unique_ptr<rgtarn::NicLink> link_;
  std::vector<std::unique_ptr<RG_PACKET>> packets_;
};
