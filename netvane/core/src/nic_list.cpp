#include "netvane/nic_list.h"

#include <exception>
#include <utility>

#include "corekit/debug.h"
#include "corekit/os_version.h"
#include "corekit/registry.h"
#include "corekit/win32_error_codes.h"
#include "netvane/nic_descriptors.h"
#include "nic_registry_paths.h"
#include "platform/text.h"
#include "rgtarn/RG_DevIO.h"

namespace paths = nv::core::nic_paths;
using nv::core::MacAddress;

namespace nv::core {

NicFamily NicFamilyOf(const COSversion& os) noexcept {
  if (!os.isNT()) return NicFamily::kWin9x;
  return os.isNT5() ? NicFamily::kNT5 : NicFamily::kNT4;
}

NicDescriptorSource PacketDriverDescriptors() {
  return [](tagADAPTER_DESC* table, int entries) {
    CRG_DevIO driver(nullptr);
    (void)driver.GetNicName(table, entries);  // the table itself tells which entries are used
  };
}

}  // namespace nv::core

namespace {

// A device key with this class (any case) is a network adapter on 95/98.
constexpr char kNetClass[] = "Net";
constexpr char kNoTcpIpDisplay[] = "Can't Find TCP/IP info";
constexpr char kNoTcpIpKey[] = "can not find TCP info";
// Bindings values are read into a buffer of this size.
constexpr uint32_t kBindingDataSize = 1024;
// Deeper than the registry itself allows: a store that loops stops here.
constexpr int kMaxWalkDepth = 512;

std::string DisplayNameOf(const std::string& description, const std::string& adapter_name) {
  return description + " [" + adapter_name + "]";
}

// Subkey names of an open key, in index order.
std::vector<std::string> SubkeyNames(CRegistry& key) {
  std::vector<std::string> names;
  std::string name;
  std::string cls;
  for (uint32_t i = 0; key.EnumerateKeys(i, name, cls); ++i) names.push_back(name);
  return names;
}

}  // namespace

CNicList::CNicList()
    : CNicList(nv::core::NicListSetup{nv::core::NicFamilyOf(COSversion()), {}, nullptr, {}, {}}) {}

CNicList::CNicList(nv::core::NicListSetup setup)
    : m_family(setup.family),
      m_notice(setup.notice ? setup.notice : &nv::core::SystemNicNotice()),
      m_root(std::move(setup.registryRoot)),
      m_registry(setup.registry ? std::move(setup.registry) : corekit::SystemRegistryApi()) {
  while (!m_root.empty() && m_root.back() == '\\') m_root.pop_back();
  const nv::core::NicDescriptorSource source =
      setup.descriptors ? std::move(setup.descriptors) : nv::core::PacketDriverDescriptors();
  try {
    source(m_adapters.data(), kMaxDriverAdapters);
  } catch (const std::exception& e) {
    CDebug::dprintf("CNicList: adapter table not read (%s)\n", e.what());
  } catch (...) {
    CDebug::dprintf("CNicList: adapter table not read\n");
  }
}

CNicList::~CNicList() = default;

int CNicList::OpenKey(CRegistry& reg, const std::string& path) const noexcept {
  try {
    return reg.uOpenKey(corekit::kHKeyLocalMachine, paths::Join(m_root, path).c_str());
  } catch (...) {  // only the path text can fail to build
    return 0;
  }
}

int CNicList::Scan(const std::string& root_path) noexcept {
  m_entries.clear();
  try {
    if (m_family == nv::core::NicFamily::kWin9x)
      ScanWin9x(root_path, 0);
    else
      ScanNT();
  } catch (const std::exception& e) {
    CDebug::dprintf("CNicList::Scan stopped (%s)\n", e.what());
  }
  return GetCount();
}

void CNicList::ScanNT() {
  CRegistry cards(m_registry);
  if (!OpenKey(cards, paths::kNetworkCards) || cards.GetNumberOfSubkeys() == 0) {
    m_notice->NoNicInstalled(nv::core::kNoNicInstalledText);
    return;
  }
  for (const std::string& card : SubkeyNames(cards)) {
    const std::string card_key = paths::Join(paths::kNetworkCards, card);
    CRegistry reg(m_registry);
    OpenKey(reg, card_key);
    std::string service;
    reg.GetValue("ServiceName", service);
    const auto match = nv::core::FindNtDescriptor(m_adapters.data(), kMaxDriverAdapters, service);
    if (!match) continue;  // a card the switch packet driver does not serve
    const std::string service_part = match->name.size() > 16 ? match->name.substr(16) : std::string();
    Entry entry;
    entry.displayName = DisplayNameOf(match->description, match->name);
    entry.tcpIpKey = m_family == nv::core::NicFamily::kNT5 ? paths::Nt5InterfaceKey(service_part)
                                                           : paths::Nt4FirstTcpIpKey(service_part);
    entry.adapterName = match->name;
    entry.adapterKey = card_key;
    entry.mac = match->mac;
    m_entries.push_back(std::move(entry));
  }
}

void CNicList::ScanWin9x(const std::string& path, int depth) {
  CRegistry key(m_registry);
  if (!OpenKey(key, path)) return;
  std::string cls;
  if (key.GetValue("Class", cls) && nv::text::EqualsNoCase(cls, kNetClass)) {
    std::string driver;
    key.GetValue("Driver", driver);
    const auto match = nv::core::FindWin9xDescriptor(m_adapters.data(), kMaxDriverAdapters, driver);
    if (match)
      AddWin9xBindings(path, match->mac, DisplayNameOf(match->description, match->name), match->name);
    return;  // an adapter's subkeys are never visited
  }
  if (depth >= kMaxWalkDepth) return;
  const std::vector<std::string> children = SubkeyNames(key);
  key.Close();  // one open key per level is enough
  for (const std::string& child : children) ScanWin9x(paths::Join(path, child), depth + 1);
}

void CNicList::AddWin9xBindings(const std::string& adapter_key, const MacAddress& mac,
                                const std::string& display_name, const std::string& adapter_name) {
  CRegistry bindings(m_registry);
  if (!OpenKey(bindings, adapter_key + "\\Bindings")) return;
  for (uint32_t i = 0;; ++i) {
    std::string name;
    CRegistry::KeyValueTypes type = CRegistry::typeNone;
    uint8_t data[kBindingDataSize];
    uint32_t size = sizeof(data);
    if (!bindings.EnumerateValues(i, name, type, data, size)) {
      // A value too long for the buffer is not a binding; the ones after it still count.
      if (bindings.GetErrorCode() == corekit::win32_error::kMoreData) continue;
      break;
    }
    if (type != CRegistry::typeString || name.find("MSTCP") == std::string::npos) continue;
    CDebug::dprintf("MSTCP(%s)\n", name.c_str());
    CRegistry binding(m_registry);
    OpenKey(binding, paths::Join(paths::kWin9xNetworkEnum, name));
    std::string instance;
    binding.GetValue("Driver", instance);
    Entry entry;
    if (instance.empty()) {
      // Keeps the lists parallel; SetAdapterDhcp refuses such an entry.
      entry.displayName = kNoTcpIpDisplay;
      entry.tcpIpKey = kNoTcpIpKey;
    } else {
      entry.displayName = display_name;
      entry.tcpIpKey = instance;
      entry.adapterName = adapter_name;
      entry.adapterKey = adapter_key;
      entry.mac = mac;
      CDebug::dprintf("Lancard(%s)\n", display_name.c_str());
    }
    m_entries.push_back(std::move(entry));
  }
}

const CNicList::Entry* CNicList::At(int index) const noexcept {
  if (index < 0 || static_cast<std::size_t>(index) >= m_entries.size()) return nullptr;
  return &m_entries[static_cast<std::size_t>(index)];
}

int CNicList::GetCount() const noexcept { return static_cast<int>(m_entries.size()); }

std::string CNicList::GetDisplayName(int index) const {
  const Entry* e = At(index);
  return e ? e->displayName : std::string();
}

std::string CNicList::GetAdapterName(int index) const {
  const Entry* e = At(index);
  return e ? e->adapterName : std::string();
}

std::string CNicList::GetTcpIpKey(int index) const {
  const Entry* e = At(index);
  return e ? e->tcpIpKey : std::string();
}

std::string CNicList::GetAdapterKey(int index) const {
  const Entry* e = At(index);
  return e ? e->adapterKey : std::string();
}

MacAddress CNicList::GetMac(int index) const noexcept {
  const Entry* e = At(index);
  return e ? e->mac : MacAddress{};
}
