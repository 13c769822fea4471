// CDHCPemu: the DHCP emulation the tray program starts for a network with fixed settings.
//
// Lifecycle: DrvOpen (binds UDP port 67, starts the serving thread) -> SetStartDHCP (answer
// the adapter with that MAC) -> SetEndDHCP (stop answering) -> ... -> DrvClose (unbind).
// DrvClose may be called when the driver was never opened; the destructor calls it.
// Every operation is thread-safe and noexcept; non-zero means success.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "nvserv/ipinfo.h"

namespace nvserv {
class DhcpServer;
}

class CDHCPemu {
 public:
  CDHCPemu();
  ~CDHCPemu();
  CDHCPemu(const CDHCPemu&) = delete;
  CDHCPemu& operator=(const CDHCPemu&) = delete;

  // Non-zero when the emulation is ready (port 67 bound). Already open: non-zero at once.
  int DrvOpen() noexcept;
  // From now on the DHCP request of the adapter with info->ucMacAddr is answered with these
  // settings. Zero when not open, the record is null or the adapter cannot be reached.
  int SetStartDHCP(const _uIPINFO* info) noexcept;
  int SetStartDHCP(const _uIPINFO& info) noexcept { return SetStartDHCP(&info); }
  // Stops answering; the adapter's DHCP traffic reaches the wire again.
  int SetEndDHCP() noexcept;
  // Stops answering, unbinds and ends the serving thread.
  int DrvClose() noexcept;

  // The address the armed adapter's DHCP client declined because another host on the network
  // holds it (it is offered no more until the next SetStartDHCP); 0 when none was declined.
  // LastError() then says "address A.B.C.D is in use on this network".
  std::uint32_t DeclinedAddress() const noexcept;
  // Removes what a run that died while armed left on the adapter with this MAC; says what
  // went ("" when nothing was left). Call it only while this emulation is not armed.
  std::string RemoveStale(const unsigned char (&mac)[6]) noexcept;

  // Why the last failed operation failed (for traces); empty when none failed.
  std::string LastError() const;

 private:
  std::unique_ptr<nvserv::DhcpServer> server_;
};
