// Windows: frames leave through the packet-capture library's session on the adapter's device
// "\Device\NPF_{GUID}"; the adapter list and MACs come from the IP helper's adapter table.
#include <iphlpapi.h>

#include <cstring>
#include <new>
#include <vector>

#include "platform/text.h"
#include "rgtarn/nic_link.h"
#include "wpcap_api.h"

namespace rgtarn {
namespace {

constexpr char kDevicePrefix[] = "\\Device\\NPF_";

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && nv::text::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string DeviceFor(const std::string& service) {
  return StartsWithNoCase(service, kDevicePrefix) ? service : kDevicePrefix + service;
}

// The IP helper's table of wired Ethernet adapters with a 6-byte address.
std::vector<NicInfo> EthernetAdapters() {
  std::vector<unsigned char> buffer(16 * 1024);
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG size = static_cast<ULONG>(buffer.size());
    const DWORD rc = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    if (rc == ERROR_BUFFER_OVERFLOW) {
      buffer.resize(size);
      continue;
    }
    if (rc != ERROR_SUCCESS) return {};
    std::vector<NicInfo> nics;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); a != nullptr; a = a->Next) {
      if (a->Type != MIB_IF_TYPE_ETHERNET || a->AddressLength != 6) continue;
      NicInfo nic;
      nic.service = a->AdapterName;
      nic.description = nv::text::AnsiToUtf8(a->Description);
      std::memcpy(nic.mac.data(), a->Address, nic.mac.size());
      nics.push_back(std::move(nic));
    }
    return nics;
  }
  return {};
}

class WpcapLink final : public NicLink {
 public:
  WpcapLink(wpcap::Api api, wpcap::pcap* session, std::string guid) noexcept
      : api_(std::move(api)), session_(session), guid_(std::move(guid)) {}
  ~WpcapLink() override { api_.close(session_); }
  WpcapLink(const WpcapLink&) = delete;
  WpcapLink& operator=(const WpcapLink&) = delete;

  bool ReadMac(std::array<unsigned char, 6>& mac) noexcept override try {
    for (const NicInfo& nic : EthernetAdapters()) {
      if (nv::text::EqualsNoCase(nic.service, guid_)) {
        mac = nic.mac;
        return true;
      }
    }
    return false;
  } catch (...) {
    return false;
  }

  // The switch box never answers, so the session keeps nothing it receives.
  bool ReadyToSend() noexcept override {
    wpcap::bpf_insn reject_all{0x06 /* BPF_RET | BPF_K */, 0, 0, 0};
    wpcap::bpf_program program{1, &reject_all};
    return api_.setfilter(session_, &program) == 0;
  }

  bool Send(const unsigned char* frame, std::size_t length) noexcept override {
    return api_.sendpacket(session_, frame, static_cast<int>(length)) == 0;
  }

 private:
  wpcap::Api api_;
  wpcap::pcap* session_;
  std::string guid_;
};

}  // namespace

std::unique_ptr<NicLink> OpenPlatformLink(const std::string& service) noexcept try {
  wpcap::Api api;
  if (!api.Load()) return nullptr;
  const std::string device = DeviceFor(service);
  std::string guid = device.substr(sizeof(kDevicePrefix) - 1);
  char error[wpcap::kErrbufSize] = {};
  wpcap::pcap* session = api.open_live(device.c_str(), 96, 0, 100, error);
  if (session == nullptr) return nullptr;
  std::unique_ptr<NicLink> link(new (std::nothrow) WpcapLink(std::move(api), session, std::move(guid)));
  if (!link) api.close(session);
  return link;
} catch (...) {
  return nullptr;
}

std::vector<NicInfo> ListPlatformNics() noexcept try {
  wpcap::Api api;
  if (!api.Load()) return {};  // no packet driver: it serves no adapter
  std::vector<std::string> devices;
  wpcap::pcap_if* first = nullptr;
  char error[wpcap::kErrbufSize] = {};
  if (api.findalldevs(&first, error) != 0) return {};
  auto free_all = [&api](wpcap::pcap_if* list) { api.freealldevs(list); };
  std::unique_ptr<wpcap::pcap_if, decltype(free_all)> all(first, free_all);
  for (const wpcap::pcap_if* d = all.get(); d != nullptr; d = d->next) {
    if (d->name) devices.emplace_back(d->name);
  }
  std::vector<NicInfo> served;
  for (NicInfo& nic : EthernetAdapters()) {
    const std::string device = DeviceFor(nic.service);
    for (const std::string& d : devices) {
      if (nv::text::EqualsNoCase(d, device)) {
        served.push_back(std::move(nic));
        break;
      }
    }
  }
  return served;
} catch (...) {
  return {};
}

}  // namespace rgtarn
