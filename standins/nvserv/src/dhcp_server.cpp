#include "src/dhcp_server.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "src/dhcp_message.h"

namespace nvserv {

DhcpServer::DhcpServer(std::unique_ptr<DhcpTransport> transport) : transport_(std::move(transport)) {}

DhcpServer::~DhcpServer() { Close(); }

bool DhcpServer::Open() noexcept {
  std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) return true;
    if (!transport_) {
      lastError_ = "no transport";
      return false;
    }
    std::string error;
    if (!transport_->Open(error)) {
      lastError_ = "open: " + error;
      return false;
    }
    open_ = true;
  }
  try {
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
  } catch (const std::exception& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    transport_->Close();
    open_ = false;
    lastError_ = std::string("serving thread: ") + e.what();
    return false;
  }
  return true;
}

bool DhcpServer::Arm(const LeaseConfig& config) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) {
    lastError_ = "arm: not open";
    return false;
  }
  try {
    if (lease_) {
      lease_.reset();
      transport_->Disarm();
    }
    declined_ = 0;
    lastAnswered_.clear();
    std::string error;
    if (!transport_->Arm(config, error)) {
      lastError_ = "arm " + FormatMac(config.mac) + ": " + error;
      return false;
    }
    lease_ = config;
    return true;
  } catch (const std::exception& e) {
    lease_.reset();
    transport_->Disarm();
    lastError_ = std::string("arm: ") + e.what();
    return false;
  }
}

void DhcpServer::Disarm() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!lease_) return;
  lease_.reset();
  transport_->Disarm();
}

void DhcpServer::Close() noexcept {
  std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
  Disarm();
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_) transport_->Close();
  open_ = false;
}

bool DhcpServer::IsOpen() const noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool DhcpServer::IsArmed() const noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return lease_.has_value();
}

Ipv4 DhcpServer::DeclinedAddress() const noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return declined_;
}

std::string DhcpServer::LastError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastError_;
}

void DhcpServer::SetLastError(std::string text) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  lastError_ = std::move(text);
}

void DhcpServer::Serve() noexcept {
  std::vector<std::uint8_t> buffer;
  try {
    buffer.resize(kMaxMessageSize);
  } catch (...) {
    SetLastError("serving thread: out of memory");
    return;
  }
  while (!stop_) {
    const ReceiveResult got = transport_->Receive(buffer, kReceiveSliceMs);
    if (got.status == ReceiveStatus::kError) {
      // A broken socket must not turn into a busy loop; Close still ends us promptly.
      std::this_thread::sleep_for(std::chrono::milliseconds(kReceiveSliceMs));
      continue;
    }
    if (got.status != ReceiveStatus::kDatagram) continue;  // timeouts; oversized datagrams are dropped
    try {
      HandleDatagram(buffer.data(), got.size);
    } catch (const std::exception& e) {
      SetLastError(std::string("answer: ") + e.what());
    } catch (...) {
      SetLastError("answer: unknown failure");
    }
  }
}

void DhcpServer::HandleDatagram(const std::uint8_t* data, std::size_t size) {
  DhcpClientMessage request;
  if (ParseClientMessage(data, size, request) != ParseError::kNone) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!lease_) return;
  if (DeclinesOfferedAddress(request, *lease_)) {
    if (!lease_->declined) {
      lease_->declined = true;
      declined_ = lease_->address;
      lastError_ = "address " + FormatIpv4(lease_->address) + " is in use on this network";
    }
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - lastAnsweredAt_ < std::chrono::milliseconds(kDuplicateWindowMs) && lastAnswered_.size() == size &&
      std::equal(lastAnswered_.begin(), lastAnswered_.end(), data))
    return;
  const std::optional<DhcpReply> reply = AnswerClient(request, *lease_);
  if (!reply) return;
  lastAnswered_.assign(data, data + size);
  lastAnsweredAt_ = now;
  std::string error;
  if (!transport_->Send(*reply, error)) lastError_ = "send: " + error;
}

}  // namespace nvserv
