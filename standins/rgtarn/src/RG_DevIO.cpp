#include "rgtarn/RG_DevIO.h"

#include <algorithm>
#include <cstring>

#include "rgtarn/adapter_table.h"

struct RG_PACKET {
  const unsigned char* buffer = nullptr;
  unsigned length = 0;
};

namespace {

// An Ethernet header at least; at most a full frame without its check sequence.
constexpr unsigned kMinFrame = 14;
constexpr unsigned kMaxFrame = 1514;

}  // namespace

CRG_DevIO::CRG_DevIO(void* owner_window) noexcept : CRG_DevIO(owner_window, &rgtarn::OpenPlatformLink) {}

CRG_DevIO::CRG_DevIO(void* owner_window, rgtarn::LinkOpener open_link) noexcept
    : owner_window_(owner_window), open_link_(std::move(open_link)) {}

CRG_DevIO::~CRG_DevIO() { CloseLink(); }

int CRG_DevIO::DrvOpen(const std::string& adapter_name) noexcept try {
  CloseLink();
  const std::string service = rgtarn::ServiceNameOf(adapter_name);
  if (service.empty() || !open_link_) return 0;
  link_ = open_link_(service);
  return link_ ? 1 : 0;
} catch (...) {
  return 0;
}

int CRG_DevIO::GetNicMac(unsigned char* mac) noexcept {
  std::array<unsigned char, 6> read{};
  if (!link_ || mac == nullptr || !link_->ReadMac(read)) return 0;
  std::memcpy(mac, read.data(), read.size());
  return 1;
}

int CRG_DevIO::SetFilter() noexcept { return link_ && link_->ReadyToSend() ? 1 : 0; }

LPRG_PACKET CRG_DevIO::AllocPacket() noexcept try {
  packets_.push_back(std::make_unique<RG_PACKET>());
  return packets_.back().get();
} catch (...) {
  return nullptr;
}

void CRG_DevIO::InitPacket(LPRG_PACKET packet, void* buffer, unsigned length) noexcept {
  if (!Owns(packet)) return;
  packet->buffer = static_cast<const unsigned char*>(buffer);
  packet->length = buffer ? length : 0;
}

int CRG_DevIO::SndFrame(LPRG_PACKET packet) noexcept {
  if (!link_ || !Owns(packet) || packet->buffer == nullptr) return 0;
  if (packet->length < kMinFrame || packet->length > kMaxFrame) return 0;
  return link_->Send(packet->buffer, packet->length) ? 1 : 0;
}

void CRG_DevIO::FreePacket(LPRG_PACKET packet) noexcept {
  packets_.erase(
      std::remove_if(packets_.begin(), packets_.end(), [packet](const auto& p) { return p.get() == packet; }),
      packets_.end());
}

void CRG_DevIO::DrvClose() noexcept { CloseLink(); }

int CRG_DevIO::GetNicName(tagADAPTER_DESC* table, int max_entries) noexcept {
  return rgtarn::FillAdapterTable(rgtarn::ListPlatformNics(), table, max_entries);
}

void CRG_DevIO::CloseLink() noexcept { link_.reset(); }

bool CRG_DevIO::Owns(LPRG_PACKET packet) const noexcept {
  return packet != nullptr &&
         std::any_of(packets_.begin(), packets_.end(), [packet](const auto& p) { return p.get() == packet; });
}
