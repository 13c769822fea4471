#include "support/fake_transport.h"

#include <chrono>

namespace nvserv::testing {

void FakeNetwork::Push(std::vector<std::uint8_t> datagram) {
  std::lock_guard<std::mutex> lock(mutex);
  inbox.push_back(std::move(datagram));
  changed.notify_all();
}

bool FakeNetwork::WaitIdle(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex);
  return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return inbox.empty() && !handling; });
}

std::size_t FakeNetwork::SentCount() {
  std::lock_guard<std::mutex> lock(mutex);
  return sent.size();
}

namespace {

class FakeTransport final : public DhcpTransport {
 public:
  explicit FakeTransport(std::shared_ptr<FakeNetwork> n) : n_(std::move(n)) {}

  bool Open(std::string& error) noexcept override {
    std::lock_guard<std::mutex> lock(n_->mutex);
    ++n_->opens;
    if (n_->failNextOpen) {
      n_->failNextOpen = false;
      error = "port taken";
      return false;
    }
    n_->open = true;
    return true;
  }
  bool Arm(const LeaseConfig& lease, std::string& error) noexcept override {
    std::lock_guard<std::mutex> lock(n_->mutex);
    ++n_->arms;
    if (n_->failNextArm) {
      n_->failNextArm = false;
      error = "adapter not found";
      return false;
    }
    n_->armed = true;
    n_->armedMac = lease.mac;
    n_->armedPinned = lease.serverIdPinned;
    return true;
  }
  void Disarm() noexcept override {
    std::lock_guard<std::mutex> lock(n_->mutex);
    ++n_->disarms;
    n_->armed = false;
  }
  ReceiveResult Receive(std::vector<std::uint8_t>& buffer, int timeoutMs) noexcept override {
    std::unique_lock<std::mutex> lock(n_->mutex);
    if (n_->handling) {
      n_->handling = false;
      ++n_->handled;
      n_->changed.notify_all();
    }
    if (!n_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !n_->inbox.empty(); }))
      return {ReceiveStatus::kTimeout, 0};
    std::vector<std::uint8_t> d = std::move(n_->inbox.front());
    n_->inbox.pop_front();
    n_->handling = true;
    if (d.empty() || d.size() > buffer.size()) return {ReceiveStatus::kOversized, 0};
    std::copy(d.begin(), d.end(), buffer.begin());
    return {ReceiveStatus::kDatagram, d.size()};
  }
  bool Send(const DhcpReply& reply, std::string&) noexcept override {
    std::lock_guard<std::mutex> lock(n_->mutex);
    if (!n_->armed) n_->sentWhileDisarmed = true;
    n_->sent.push_back(reply);
    return true;
  }
  void Close() noexcept override {
    std::lock_guard<std::mutex> lock(n_->mutex);
    ++n_->closes;
    n_->open = false;
    n_->armed = false;
  }

 private:
  std::shared_ptr<FakeNetwork> n_;
};

}  // namespace

std::unique_ptr<DhcpTransport> MakeFakeTransport(std::shared_ptr<FakeNetwork> network) {
  return std::make_unique<FakeTransport>(std::move(network));
}

}  // namespace nvserv::testing
