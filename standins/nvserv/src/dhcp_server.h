// The emulation's engine: a serving thread that answers the armed adapter over a transport.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "src/lease_config.h"
#include "src/transport.h"

namespace nvserv {

class DhcpServer {
 public:
  explicit DhcpServer(std::unique_ptr<DhcpTransport> transport);
  ~DhcpServer();
  DhcpServer(const DhcpServer&) = delete;
  DhcpServer& operator=(const DhcpServer&) = delete;

  // Binds through the transport and starts the serving thread; true when already open.
  bool Open() noexcept;
  // Answers the adapter in `config` from now on (replacing an earlier arming). False when
  // not open or the transport cannot reach the adapter; nothing is answered then.
  bool Arm(const LeaseConfig& config) noexcept;
  // Stops answering; once it returns no further reply is sent.
  void Disarm() noexcept;
  // Disarms, ends the serving thread and closes the transport. Safe to repeat.
  void Close() noexcept;

  bool IsOpen() const noexcept;
  bool IsArmed() const noexcept;
  // The address the armed adapter's client declined (another host holds it), or 0. Reset by
  // the next Arm.
  Ipv4 DeclinedAddress() const noexcept;
  std::string LastError() const;
  void SetLastError(std::string text) noexcept;

  // How long the serving thread waits in one receive: the bound on Close's wait.
  static constexpr int kReceiveSliceMs = 100;
  // Clients repeat a request after a second or more; the same bytes sooner are one request.
  static constexpr int kDuplicateWindowMs = 250;

 private:
  void Serve() noexcept;
  void HandleDatagram(const std::uint8_t* data, std::size_t size);

  std::unique_ptr<DhcpTransport> transport_;
  mutable std::mutex mutex_;  // guards lease_, open_, lastError_ and every Send/Arm/Disarm
  std::optional<LeaseConfig> lease_;
  Ipv4 declined_ = 0;
  // The last request answered and when: a copy of the same request seen again at once (on
  // two paths through the adapter) is not answered twice.
  std::vector<std::uint8_t> lastAnswered_;
  std::chrono::steady_clock::time_point lastAnsweredAt_{};
  bool open_ = false;
  std::string lastError_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex lifecycleMutex_;  // serialises Open and Close
};

}  // namespace nvserv
