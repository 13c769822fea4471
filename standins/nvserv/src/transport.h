// How the serving thread meets the network: one implementation per platform (posix/, win32/),
// hand-written fakes in the tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "src/dhcp_responder.h"
#include "src/net_types.h"

namespace nvserv {

enum class ReceiveStatus { kDatagram, kTimeout, kOversized, kError };

struct ReceiveResult {
  ReceiveStatus status = ReceiveStatus::kTimeout;
  std::size_t size = 0;  // bytes placed at the start of the buffer (kDatagram only)
};

// Open/Close and Arm/Disarm are called by the owner (under its lock); Receive by the serving
// thread only; Send by the serving thread while the owner's lock is held. Arm and Receive may
// run at the same time.
class DhcpTransport {
 public:
  virtual ~DhcpTransport() = default;

  // Binds the server port. False with a reason when it cannot.
  [[nodiscard]] virtual bool Open(std::string& error) noexcept = 0;
  // Makes the adapter with lease.mac reachable: its requests arrive, replies reach it. When
  // lease.serverIdPinned, the adapter is also made to reach lease.serverId by unicast.
  [[nodiscard]] virtual bool Arm(const LeaseConfig& lease, std::string& error) noexcept = 0;
  // Undoes Arm; the adapter's DHCP traffic takes its ordinary path again. Safe when not armed.
  virtual void Disarm() noexcept = 0;
  // Waits at most timeoutMs for one request to the server port (its UDP payload), from the
  // armed adapter only; each request is delivered once however often it was seen.
  virtual ReceiveResult Receive(std::vector<std::uint8_t>& buffer, int timeoutMs) noexcept = 0;
  // Sends one reply to its destination. False when it could not be sent.
  [[nodiscard]] virtual bool Send(const DhcpReply& reply, std::string& error) noexcept = 0;
  // Undoes Open. Safe when not open.
  virtual void Close() noexcept = 0;
};

// The platform's transport (defined in posix/ or win32/).
std::unique_ptr<DhcpTransport> MakeSystemTransport();

// Removes what an earlier run that died while armed left on the adapter with this MAC (the
// redirections of its DHCP traffic), so that the adapter's own DHCP client reaches the wire
// again. Says what went ("" when nothing was left). Never call it while this process is armed.
std::string RemoveStaleRedirection(const MacAddress& mac) noexcept;

}  // namespace nvserv
