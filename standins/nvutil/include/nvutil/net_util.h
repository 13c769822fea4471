// CNetUtil: the network helper the tray program calls to move the default route, drop a
// gateway's ARP entry, find the adapter's interface number and release or renew its
// DHCP lease. Our own stand-in for the outside Nvutil library.
//
// Conventions the caller relies on: addresses are dotted text ("%d.%d.%d.%d"); every
// operation returns non-zero on success and 0 on failure and never throws; the platform
// error code of the last call stays available through LastError(). Each call writes one
// trace line naming the operation and what happened.
//
// The operations are virtual so that the system's tests can derive a fake; the real
// work sits behind nvutil::NetStack (the OS's own stack unless one is passed in).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "nvutil/ipv4.h"
#include "nvutil/net_stack.h"

class CNetUtil {
 public:
  using TraceSink = std::function<void(const std::string& line)>;

  CNetUtil();  // the running system's stack; opens nothing until an operation runs
  explicit CNetUtil(std::unique_ptr<nvutil::NetStack> stack);
  virtual ~CNetUtil();
  CNetUtil(const CNetUtil&) = delete;
  CNetUtil& operator=(const CNetUtil&) = delete;

  // Removes the ARP entry of `address`. `interfaceNumber`: null for every interface, or
  // the interface number as decimal text. 0 when there was no entry to remove.
  virtual int DelArpEnt(const char* address, const char* interfaceNumber) noexcept;

  // Adds the route destination/mask through `gateway`. `interfaceNumber`: null to use the
  // interface through which the gateway is reached, or the number as decimal text.
  // AddGWEntry counts the metric the way Windows before version 6 did (raised to the
  // interface's own metric where the system demands it); AddGWEntryVista adds it to
  // the interface metric. Both are the same on Linux.
  virtual int AddGWEntry(const char* destination, const char* mask, const char* gateway,
                         const char* interfaceNumber, std::uint32_t metric) noexcept;
  virtual int AddGWEntryVista(const char* destination, const char* mask, const char* gateway,
                              const char* interfaceNumber, std::uint32_t metric) noexcept;

  // Removes every route to `destination`; for "0.0.0.0" the default route(s).
  // 0 when there was none.
  virtual int DelGWEntry(const char* destination) noexcept;

  // The interface number of the adapter with this MAC; 0 when none has it (an all-zero
  // MAC is never an adapter's).
  virtual std::uint32_t GetInterfaceNum(const nvutil::MacAddress& mac) noexcept;
  std::uint32_t GetInterfaceNum(const unsigned char (&mac)[6]) noexcept {
    return GetInterfaceNum(nvutil::MacAddress{mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]});
  }

  // renew 0: release the interface's DHCP address; 1: renew it. Returns when it has taken
  // effect (or a bounded wait ran out: then 0).
  virtual int LeaseIP(std::uint32_t interfaceNumber, int renew) noexcept;

  // While a renew waits for its address, `cancel` is asked now and then; true ends the wait
  // (LeaseIP then fails). Empty: the whole bound is waited.
  virtual void SetRenewCancel(std::function<bool()> cancel);

  // Removes everything of a network from the interface: addresses, routes through it, neighbour
  // entries (both families), and the name servers of an adapter's own resolver file; link-local
  // ones stay. 0 when something could not be removed (the note says what).
  virtual int ClearAdapter(std::uint32_t interfaceNumber) noexcept;

  // What the adapter with this MAC holds now (addresses, routes, neighbours, name servers).
  // 0 when there is no such adapter or its tables could not be read.
  virtual int GetAdapterSnapshot(const nvutil::MacAddress& mac, nvutil::AdapterSnapshot& out) noexcept;

  // Where the trace lines go; by default the platform's debug output (OutputDebugString
  // on Windows, standard error on Linux). An empty sink silences them.
  void SetTraceSink(TraceSink sink);
  // Platform error code of the last operation (0 after a success).
  [[nodiscard]] std::uint32_t LastError() const noexcept { return m_lastError; }

 private:
  int AddRoute(const char* name, nvutil::RouteApi api, const char* destination, const char* mask,
               const char* gateway, const char* interfaceNumber, std::uint32_t metric) noexcept;
  int Finish(const std::string& call, const nvutil::Outcome& outcome) noexcept;
  int Reject(const std::string& call, const char* why) noexcept;
  void Trace(const std::string& line) noexcept;

  std::unique_ptr<nvutil::NetStack> m_stack;
  TraceSink m_trace;
  std::uint32_t m_lastError = 0;
};
