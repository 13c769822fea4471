// The part of the packet-capture library's C interface that the driver uses, declared here so
// that wpcap.dll is loaded at run time: without it installed the program still starts and only
// DrvOpen fails.  Layouts as the library's 64- and 32-bit Windows builds define them.
#pragma once
#include <cstdint>

#include "platform/win32_handles.h"

namespace rgtarn::wpcap {

struct pcap;  // opaque session

struct pcap_if {
  pcap_if* next;
  char* name;  // "\Device\NPF_{GUID}"
  char* description;
  void* addresses;
  std::uint32_t flags;
};

struct bpf_insn {
  std::uint16_t code;
  std::uint8_t jt;
  std::uint8_t jf;
  std::uint32_t k;
};

struct bpf_program {
  unsigned int bf_len;
  bpf_insn* bf_insns;
};

inline constexpr int kErrbufSize = 256;

// The loaded library and the entry points the driver calls; all resolved, or Load fails.
struct Api {
  nv::win32::UniqueModule module;
  pcap* (*open_live)(const char* device, int snaplen, int promisc, int timeout_ms, char* errbuf) = nullptr;
  int (*setfilter)(pcap* p, bpf_program* program) = nullptr;
  int (*sendpacket)(pcap* p, const unsigned char* frame, int length) = nullptr;
  void (*close)(pcap* p) = nullptr;
  int (*findalldevs)(pcap_if** devices, char* errbuf) = nullptr;
  void (*freealldevs)(pcap_if* devices) = nullptr;

  // False when wpcap.dll is not installed or lacks an entry point.
  [[nodiscard]] bool Load() noexcept;
};

}  // namespace rgtarn::wpcap
