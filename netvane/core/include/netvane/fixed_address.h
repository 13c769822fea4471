// The address step for a network with fixed settings where no DHCP answer can be produced on
// this machine (Windows: the adapter's own DHCP client talks to the wire only). The step sets the
// address, mask, default gateway and name servers on the adapter itself, takes them off again when
// the next change goes to a DHCP network, and leaves a record in the store while they are on, so
// that a run that died is undone by the next start.
//
// The decisions live here; the operating system sits behind IFixedAddressPlatform (IP helper in
// win32/) and the record behind IAppliedStaticStore (the product key's IPCfg key).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CCfginfo;
struct NetCfgRecord;

namespace nv::core {

// What the adapter was given, as the record "szAppliedStatic" stores it.
struct FixedSettings {
  std::string adapter;  // the adapter's name as the platform knows it (a GUID on Windows)
  uint32_t address = 0;
  uint32_t mask = 0;
  uint32_t gateway = 0;  // 0: none
  std::vector<uint32_t> nameServers;
};
// "adapter|address|mask|gateway|name server|..." with dotted addresses; gateway "0.0.0.0" = none.
std::string FormatAppliedStatic(const FixedSettings& settings);
// Empty when the text is not such a record (no adapter, fewer than four fields, a bad address).
std::optional<FixedSettings> ParseAppliedStatic(const std::string& text);

// One platform call's answer.
struct PlatformCall {
  enum class Status {
    Ok,
    NotFound,  // nothing to act on (no such adapter, address, route or lease)
    Refused,   // the call exists and failed
    Missing,   // neither the call nor an older one to fall back to exists on this system
  };
  Status status = Status::Ok;
  std::string call;   // the call that answered (or was missing), for the trace and the report
  uint32_t code = 0;  // the platform's error code
  std::string note;

  [[nodiscard]] bool ok() const noexcept { return status == Status::Ok; }
  // "CreateUnicastIpAddressEntry refused (error 5): note"
  [[nodiscard]] std::string Describe() const;
  static PlatformCall Done(std::string call, std::string note = {});
};

struct AdapterRef {
  std::string name;  // the adapter's name (a GUID on Windows)
  uint32_t index = 0;
};

// The adapter's IPv4 addresses and default gateways as its own tables show them.
struct AdapterAddressView {
  struct Address {
    uint32_t address = 0;
    uint32_t mask = 0;
    bool manual = true;  // set by hand, not by DHCP (true also where the platform cannot tell)
  };
  std::vector<Address> addresses;
  std::vector<uint32_t> gateways;
};

class IFixedAddressPlatform {
 public:
  virtual ~IFixedAddressPlatform() = default;
  virtual PlatformCall FindAdapterByMac(const std::array<uint8_t, 6>& mac, AdapterRef& out) = 0;
  virtual PlatformCall FindAdapterByName(const std::string& name, AdapterRef& out) = 0;
  virtual PlatformCall ReleaseLease(const AdapterRef& adapter) = 0;
  virtual PlatformCall RenewLease(const AdapterRef& adapter) = 0;
  virtual PlatformCall AddAddress(const AdapterRef& adapter, uint32_t address, uint32_t mask) = 0;
  virtual PlatformCall AddDefaultRoute(const AdapterRef& adapter, uint32_t gateway) = 0;
  virtual PlatformCall SetNameServers(const AdapterRef& adapter, const std::vector<uint32_t>& servers) = 0;
  virtual PlatformCall ReadAddresses(const AdapterRef& adapter, AdapterAddressView& out) = 0;
  // NotFound when the adapter does not hold it.
  virtual PlatformCall RemoveAddress(const AdapterRef& adapter, uint32_t address) = 0;
  virtual PlatformCall RemoveDefaultRoute(const AdapterRef& adapter, uint32_t gateway) = 0;
  // The adapter takes its name servers from DHCP again.
  virtual PlatformCall ClearNameServers(const AdapterRef& adapter) = 0;
  virtual void Sleep(uint32_t ms) = 0;
};
// This system's calls. On Linux the emulation answers the adapter, so nvchange uses them only
// to undo a record it finds at start.
std::unique_ptr<IFixedAddressPlatform> MakeSystemFixedAddressPlatform();

// The record of what is on the adapter. Each call false when the store refused it.
class IAppliedStaticStore {
 public:
  virtual ~IAppliedStaticStore() = default;
  // `present` false (and true returned) when there is no record.
  virtual bool Read(std::string& text, bool& present) = 0;
  virtual bool Write(const std::string& text) = 0;
  virtual bool Clear() = 0;  // true also when there was nothing to clear
};
// "szAppliedStatic" (REG_SZ) under the configuration's IPCfg key.
std::unique_ptr<IAppliedStaticStore> MakeRegistryAppliedStaticStore(const CCfginfo& cfg);

inline constexpr const char* kAppliedStaticValue = "szAppliedStatic";
inline constexpr uint32_t kVerifyWaitMs = 5000;  // how long the adapter may take to show what was set
inline constexpr uint32_t kVerifyPollMs = 250;

struct FixedStepResult {
  bool ok = true;
  std::string detail;  // what failed, for the log line, the tray tip and the audit
};

class FixedAddressStep {
 public:
  using Trace = std::function<void(const std::string& line)>;
  FixedAddressStep(IFixedAddressPlatform& platform, IAppliedStaticStore& store, Trace trace = {});

  // Releases the lease of the network left, records, then sets `target`'s fixed settings and
  // reads them back. On failure nothing of ours stays on the adapter where it could be removed,
  // the lease stays released and the record stays until DHCP is back.
  FixedStepResult Apply(const NetCfgRecord& target);
  // Before a change to a DHCP network: takes off what the record names and clears it. Nothing
  // to do without a record. The change's own renew follows.
  FixedStepResult BackToDhcp();
  // At start, before anything else: a record left by a run that died is undone and cleared.
  // Returns the log line ("RECOVER ..."), empty when there was no record. `configured` is the
  // adapter of the IP configuration, used when the record does not parse.
  std::string Recover(const NetCfgRecord& configured);

 private:
  FixedStepResult Remove(const FixedSettings& settings, const AdapterRef& adapter);
  FixedStepResult ResetAdapter(const AdapterRef& adapter);
  std::string Verify(const AdapterRef& adapter, const FixedSettings& wanted);
  void Say(const std::string& line);

  IFixedAddressPlatform& platform_;
  IAppliedStaticStore& store_;
  Trace trace_;
};

}  // namespace nv::core
