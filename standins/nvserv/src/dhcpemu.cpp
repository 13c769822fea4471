#include "nvserv/dhcpemu.h"

#include "src/dhcp_server.h"
#include "src/lease_config.h"
#include "src/transport.h"

CDHCPemu::CDHCPemu() : server_(std::make_unique<nvserv::DhcpServer>(nvserv::MakeSystemTransport())) {}

CDHCPemu::~CDHCPemu() { DrvClose(); }

int CDHCPemu::DrvOpen() noexcept { return server_->Open() ? 1 : 0; }

int CDHCPemu::SetStartDHCP(const _uIPINFO* info) noexcept {
  if (info == nullptr) {
    server_->SetLastError("SetStartDHCP: no settings");
    return 0;
  }
  try {
    nvserv::LeaseConfig config;
    const nvserv::LeaseConfigError error = nvserv::MakeLeaseConfig(*info, config);
    if (error != nvserv::LeaseConfigError::kNone) {
      server_->Disarm();  // never go on answering with the settings of an earlier request
      server_->SetLastError(std::string("SetStartDHCP: ") + nvserv::LeaseConfigErrorText(error));
      return 0;
    }
    return server_->Arm(config) ? 1 : 0;
  } catch (...) {
    server_->SetLastError("SetStartDHCP: out of memory");
    return 0;
  }
}

int CDHCPemu::SetEndDHCP() noexcept {
  server_->Disarm();
  return 1;
}

int CDHCPemu::DrvClose() noexcept {
  server_->Close();
  return 1;
}

std::uint32_t CDHCPemu::DeclinedAddress() const noexcept { return server_->DeclinedAddress(); }
std::string CDHCPemu::RemoveStale(const unsigned char (&mac)[6]) noexcept {
  nvserv::MacAddress adapter{};
  for (std::size_t i = 0; i < adapter.size(); ++i) adapter[i] = mac[i];
  return nvserv::RemoveStaleRedirection(adapter);
}

std::string CDHCPemu::LastError() const { return server_->LastError(); }
