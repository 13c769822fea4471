// CNicList: the network adapters that are both installed in Windows and served by the switch
// packet driver, each paired with its TCP/IP settings key, for the IP configuration dialogs;
// and the writer that switches the chosen adapter once to automatic addressing (DHCP), so
// that every later network change gets its addresses by a DHCP exchange.
//
// Two registry layouts: the NT family (NT 4, and Windows 2000 or later) and Windows 95/98.
// All access goes through CRegistry below HKEY_LOCAL_MACHINE; keys are opened, never created,
// and registry failures are traced, not reported: the writer always runs all its steps.
//
// Lifecycle: construct (reads the driver's adapter table once), Scan, read the lists,
// SetAdapterDhcp for the confirmed choice.  One thread at a time; nothing throws out.
#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corekit/registry_api.h"
#include "netvane/nic_notice.h"
#include "netvane/switch_frame.h"
#include "rgtarn/adapter_desc.h"

class COSversion;
class CRegistry;

namespace nv::core {

enum class NicFamily { kNT4, kNT5, kWin9x };

// The layout of the running system, from COSversion's isNT and isNT5.
NicFamily NicFamilyOf(const COSversion& os) noexcept;

// Fills a zeroed table of `entries` descriptors with the adapters the packet driver serves.
using NicDescriptorSource = std::function<void(tagADAPTER_DESC* table, int entries)>;

// GetNicName through a temporary CRG_DevIO made with no owner window.
NicDescriptorSource PacketDriverDescriptors();

struct NicListSetup {
  NicFamily family = NicFamily::kNT5;
  NicDescriptorSource descriptors;  // empty: PacketDriverDescriptors()
  INicNotice* notice = nullptr;     // null: SystemNicNotice()
  // A key below HKEY_LOCAL_MACHINE that every path is read and written under; empty in the
  // product.  Tests give a scratch key so that the machine's own network settings stay untouched.
  // The paths in the lists and the recorded "szBindPath" values never carry it.
  std::string registryRoot;
  std::shared_ptr<corekit::RegistryApi> registry;  // null: the platform's registry
};

}  // namespace nv::core

class CNicList {
 public:
  static constexpr int kMaxDriverAdapters = 20;

  // The running system: family from COSversion, descriptors from the packet driver.
  CNicList();
  explicit CNicList(nv::core::NicListSetup setup);
  CNicList(const CNicList&) = delete;
  CNicList& operator=(const CNicList&) = delete;
  ~CNicList();

  // Empties the lists and fills them from the registry; returns the number of entries.
  // `root_path` is where the 95/98 walk starts (the dialogs pass "Enum"); NT ignores it.
  int Scan(const std::string& root_path) noexcept;

  // Plain reads of the parallel lists; an index outside them reads as empty (MAC all zero).
  int GetCount() const noexcept;
  std::string GetDisplayName(int index) const;
  std::string GetAdapterName(int index) const;
  std::string GetTcpIpKey(int index) const;
  std::string GetAdapterKey(int index) const;
  nv::core::MacAddress GetMac(int index) const noexcept;

  // Switches the adapter at `index` to automatic addressing and records the changed key paths in
  // the product key.  An index outside the lists, or a 95/98 entry without TCP/IP information,
  // changes nothing and gives false; otherwise true, whatever the registry said.
  bool SetAdapterDhcp(int index) noexcept;

 private:
  struct Entry {
    std::string displayName;
    std::string tcpIpKey;
    std::string adapterName;
    std::string adapterKey;
    nv::core::MacAddress mac{};
  };

  void ScanNT();
  void ScanWin9x(const std::string& path, int depth);
  void AddWin9xBindings(const std::string& adapter_key, const nv::core::MacAddress& mac,
                        const std::string& display_name, const std::string& adapter_name);
  void SetDhcpNT(const Entry& entry);
  void SetDhcpWin9x(const Entry& entry);
  const Entry* At(int index) const noexcept;
  // Opens `path` (below the registry root) for full access, without creating it.
  int OpenKey(CRegistry& reg, const std::string& path) const noexcept;
  // The same for the writer, which traces a key that does not open and writes on regardless.
  void OpenForWrite(CRegistry& reg, const std::string& path) const noexcept;

  nv::core::NicFamily m_family;
  nv::core::INicNotice* m_notice;
  std::string m_root;
  std::shared_ptr<corekit::RegistryApi> m_registry;
  std::vector<Entry> m_entries;
  std::array<tagADAPTER_DESC, kMaxDriverAdapters> m_adapters{};
};
